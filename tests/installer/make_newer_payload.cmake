# A payload for the "newer" setup of the tests: the build's programs with a few bytes
# appended (a changed build differs so; Windows ignores data behind the image). Its
# engine is the tests' stand-in (bin/standin/base.dll), whose log shows how the Host
# that the setup and the Loader start was run and stopped.
#   cmake -DSOURCE=<bin> -DDEST=<folder> -P make_newer_payload.cmake
file(REMOVE_RECURSE ${DEST})
file(MAKE_DIRECTORY ${DEST}/images)
foreach(name tessmark_quornel_loader.exe tessmark_quornel.exe standin/base.dll)
    file(COPY ${SOURCE}/${name} DESTINATION ${DEST})
    get_filename_component(name ${name} NAME)
    file(APPEND ${DEST}/${name} "newer build\n")
endforeach()
file(COPY ${SOURCE}/images/tray.ico ${SOURCE}/images/tray_offline.ico ${SOURCE}/images/wallpaper.bmp
     DESTINATION ${DEST}/images)
file(TOUCH ${DEST}/payload.stamp)
