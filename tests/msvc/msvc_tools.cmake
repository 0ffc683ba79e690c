# The tools of the MSVC-mode check, found once for the check (tests/msvc/) and for the
# end-to-end tests that run a second time against the programs it links.
#
# clang-cl, lld-link and llvm-rc of one LLVM: 14, which the check's flags were set up
# with, when it is installed; else the newest LLVM Debian has put in /usr/lib/llvm-N
# (its unversioned clang-tools, lld and llvm packages bring the release's own); else
# the unversioned names on the PATH. Sets QUORNEL_MSVC_CHECK to TRUE when the check
# can run here, else to FALSE with the reason in QUORNEL_MSVC_MISSING.
set(QUORNEL_WINE_INCLUDE /usr/include/wine/wine CACHE PATH "Wine's Windows and C runtime headers (libwine-dev)")
set(QUORNEL_WINE_LIBS /usr/lib/x86_64-linux-gnu/wine/x86_64-windows CACHE PATH
    "Wine's import libraries for Windows programs (libwine-dev)")

set(llvm_tools clang-cl lld-link llvm-rc)
set(llvm_bin "")
file(GLOB llvm_dirs LIST_DIRECTORIES true /usr/lib/llvm-*/bin)
list(SORT llvm_dirs COMPARE NATURAL ORDER DESCENDING)
foreach(dir /usr/lib/llvm-14/bin ${llvm_dirs})
    set(complete TRUE)
    foreach(tool ${llvm_tools})
        if(NOT EXISTS ${dir}/${tool})
            set(complete FALSE)
        endif()
    endforeach()
    if(complete)
        set(llvm_bin ${dir})
        break()
    endif()
endforeach()

set(QUORNEL_MSVC_MISSING "")
foreach(tool ${llvm_tools})
    string(MAKE_C_IDENTIFIER "QUORNEL_${tool}" variable)
    string(TOUPPER ${variable} variable)
    if(llvm_bin)
        find_program(${variable} ${tool} PATHS ${llvm_bin} NO_DEFAULT_PATH)
    else()
        find_program(${variable} ${tool})
    endif()
    if(NOT ${variable})
        list(APPEND QUORNEL_MSVC_MISSING ${tool})
    endif()
endforeach()
if(NOT EXISTS ${QUORNEL_WINE_INCLUDE}/windows/windows.h OR NOT EXISTS ${QUORNEL_WINE_LIBS}/libucrtbase.a)
    list(APPEND QUORNEL_MSVC_MISSING "Wine's headers and import libraries")
endif()

if(QUORNEL_MSVC_MISSING)
    set(QUORNEL_MSVC_CHECK FALSE)
    string(JOIN ", " QUORNEL_MSVC_MISSING ${QUORNEL_MSVC_MISSING})
    message(STATUS "MSVC-mode check skipped, missing: ${QUORNEL_MSVC_MISSING}")
else()
    set(QUORNEL_MSVC_CHECK TRUE)
    message(STATUS "MSVC-mode check with ${QUORNEL_CLANG_CL}")
endif()
