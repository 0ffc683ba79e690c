#!/usr/bin/env bash
# Builds the product as MSVC would: every .cpp below the product folders (listed in
# CMake or not) is compiled by clang-cl in MSVC mode at /W4 /WX, and each program is
# linked by lld-link. Wine's headers and import libraries stand in for the Windows
# SDK and the C runtime, so this proves the sources are MSVC C++ that builds and
# links, not that Microsoft's own headers and cl.exe give the same warnings.
#
# msvc_build.sh ROOT OUT STACK_RESERVE CLANG_CL LLD_LINK LLVM_RC WINE_INCLUDE WINE_LIBS
#              "COMMON DEFINES" UNIT...
# A unit is "lib|name|folder|defines|includes|sources" (a static library, from its
# listed sources) or "exe or dll|name|folder|defines|includes|libs|rc files" (a program,
# from every .cpp below its folder that no library lists). Units are built in the
# order given: libraries, then a DLL before the programs that link it.
set -uo pipefail

root=$1
out=$2
stack_reserve=$3
CLANG_CL=$4
LLD_LINK=$5
LLVM_RC=$6
WINE_INCLUDE=$7
WINE_LIBS=$8
common_defs=$9
shift 9

for tool in "$CLANG_CL" "$LLD_LINK" "$LLVM_RC"; do
    [ -x "$tool" ] || { echo "missing: $tool (configure again after installing it)"; exit 1; }
done
[ -f "$WINE_INCLUDE/windows/windows.h" ] && [ -f "$WINE_LIBS/libucrtbase.a" ] ||
    { echo "missing: Wine's headers and import libraries (libwine-dev)"; exit 1; }
"$CLANG_CL" --version | head -n 1

rm -rf "$out"
mkdir -p "$out/lib" "$out/obj"
# lld-link looks in the current folder first: only this build's files may be found.
cd "$out" || exit 1
# Libraries by their MSVC names, for the link lines and for #pragma comment(lib, ...).
for archive in "$WINE_LIBS"/lib*.a; do
    name=${archive##*/lib}
    ln -s "$archive" "$out/lib/${name%.a}.lib"
done

cl_flags=(--target=x86_64-pc-windows-msvc -fms-compatibility-version=19.20 /nologo /c
    # /GR- /EHs-c- as quornel_product gives the programs. /GS- only here: the real build
    # keeps stack cookies, whose security cookie comes from Microsoft's CRT, which
    # Wine's libraries do not have.
    /std:c++17 /W4 /WX /utf-8 /GR- /EHs-c- /GS-
    # What cl.exe reports at /W4 and clang-cl's /W4 leaves out: C4244/C4267 (lost
    # precision), C4456-C4459 (hidden declarations); and GNU extensions cl.exe refuses.
    -Wshorten-64-to-32 -Wimplicit-int-conversion -Wfloat-conversion -Wshadow -Wgnu -Wvla
    # No CRT library names in the objects: the link below names Wine's.
    /Zl
    -imsvc "$WINE_INCLUDE/msvcrt" -imsvc "$WINE_INCLUDE/windows"
    # Wine's headers make WCHAR char16_t unless told that wchar_t is the 16-bit
    # WCHAR, as it is under MSVC.
    /DWINE_UNICODE_NATIVE
    # Wine's winnt.h defines this intrinsic inline for every compiler but cl.exe;
    # clang-cl has it built in and refuses the definition. No source uses it.
    /D_InterlockedCompareExchange128=wine_inline_InterlockedCompareExchange128)
rc_flags=(/nologo /C 65001 /I "$WINE_INCLUDE/windows" /I "$WINE_INCLUDE/msvcrt")
# The sources get these with their unit's own definitions.
for def in $common_defs; do rc_flags+=(/D "$def"); done

# Sources the libraries list: not compiled again into the program whose folder holds them.
library_sources=" "
for unit in "$@"; do
    IFS='|' read -r kind _ _ _ _ sources <<<"$unit"
    [ "$kind" = lib ] && library_sources+="$sources "
done

failed=()
compiled=0
linked=0
# compile NAME DEFINES INCLUDES SOURCE...: objects into $out/obj/NAME, their paths into `objects`.
compile() {
    local name=$1 defs=$2 includes=$3 source relative object def dir
    shift 3
    local flags=("${cl_flags[@]}")
    for def in $defs; do flags+=("/D$def"); done
    for dir in $includes; do flags+=("/I$dir"); done
    mkdir -p "$out/obj/$name"
    objects=()
    for source in "$@"; do
        relative=${source#"$root"/}
        object="$out/obj/$name/${relative//\//_}.obj"
        # "--": clang-cl would read a path that starts with / as an option.
        if "$CLANG_CL" "${flags[@]}" "/Fo$object" -- "$source"; then
            compiled=$((compiled + 1))
            objects+=("$object")
        else
            failed+=("$relative")
        fi
    done
}

for unit in "$@"; do
    IFS='|' read -r kind name folder defs includes rest <<<"$unit"
    failures=${#failed[@]}
    if [ "$kind" = lib ]; then
        # shellcheck disable=SC2086 # the sources are a space-separated list
        compile "$name" "$defs" "$includes" $rest
        if [ ${#failed[@]} -eq "$failures" ]; then
            "$LLD_LINK" /lib /nologo "/out:$out/lib/$name.lib" "${objects[@]}" || failed+=("library $name.lib")
        fi
        continue
    fi
    IFS='|' read -r libs rcs <<<"$rest"
    sources=()
    while IFS= read -r source; do
        [[ "$library_sources" == *" $source "* ]] || sources+=("$source")
    done < <(find "$root/$folder" -name '*.cpp' | sort)
    if [ ${#sources[@]} -eq 0 ]; then
        failed+=("$folder/ (no sources)")
        continue
    fi
    compile "$name" "$defs" "$includes" "${sources[@]}"
    index=0
    for rc in $rcs; do
        index=$((index + 1))
        if "$LLVM_RC" "${rc_flags[@]}" /FO "$out/obj/$name/$index.res" -- "$rc"; then
            objects+=("$out/obj/$name/$index.res")
        else
            failed+=("${rc#"$root"/}")
        fi
    done
    link=(/nologo /WX /machine:x64 "/libpath:$out/lib" kernel32.lib ucrtbase.lib)
    for lib in $libs; do link+=("$lib.lib"); done
    if [ "$kind" = dll ]; then
        # Wine's DllMainCRTStartup calls DllMain, as the CRT's does.
        link+=(/dll "/out:$out/$name.dll" "/implib:$out/lib/$name.lib"
            /entry:DllMainCRTStartup winecrt0.lib)
    else
        # Wine's C runtime starts GUI programs through wmain, which calls wWinMain.
        # The stack reserve is the one every build of the programs has (CMakeLists.txt).
        link+=(/subsystem:windows "/out:$out/$name.exe" /entry:wmainCRTStartup "/stack:$stack_reserve")
    fi
    # A program with a source that did not build is not linked: its errors are enough.
    if [ ${#failed[@]} -eq "$failures" ]; then
        if "$LLD_LINK" "${link[@]}" "${objects[@]}"; then
            linked=$((linked + 1))
        else
            failed+=("link of $name.$kind")
        fi
    fi
done

if [ ${#failed[@]} -ne 0 ]; then
    printf 'MSVC-mode build failed: %s\n' "${failed[@]}"
    exit 1
fi
echo "MSVC-mode build: $compiled sources compiled at /W4 /WX, $linked programs linked"
