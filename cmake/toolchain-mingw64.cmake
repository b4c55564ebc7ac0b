# Cross-build for 64-bit Windows with mingw-w64 and run the results under Wine.
#
# The posix thread model is needed for std::thread (the default win32 model of
# Debian's mingw-w64 has none); everything is linked statically so that the
# programs need no DLL from the compiler. ctest and gtest_discover_tests start
# every program through cmake/wine-run.sh, which keeps the Wine prefix inside
# the build tree.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(POSTWING_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${POSTWING_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${POSTWING_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${POSTWING_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${POSTWING_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${CMAKE_BINARY_DIR}/wineprefix)
