# Cross-builds for 64-bit Windows with Debian's MinGW-w64 (the posix-thread
# variant, which Qt's threads need). The host's moc, rcc and uic serve the
# build: Qt finds them through QT_HOST_PATH.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TRACKFOLD_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TRACKFOLD_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TRACKFOLD_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TRACKFOLD_MINGW_TRIPLET}-windres)

# Windows libraries and headers come only from MinGW's sysroot and the Qt
# prefix; programs (the host's Qt tools among them) from the host.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${TRACKFOLD_MINGW_TRIPLET} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

if(NOT DEFINED QT_HOST_PATH)
    set(QT_HOST_PATH /usr CACHE PATH "Host Qt whose tools serve the cross build")
endif()
if(NOT DEFINED QT_HOST_PATH_CMAKE_DIR)
    set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "CMake files of the host Qt")
endif()

# CTest runs each test program under Wine through this wrapper, which gives it
# a private prefix, an offscreen Qt and a time limit of its own. Qt's own build
# runs nothing, so it leaves this out.
if(NOT TRACKFOLD_NO_EMULATOR)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
endif()
