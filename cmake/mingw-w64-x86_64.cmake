# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64),
# the POSIX thread model, so that <thread> and <mutex> are there:
#
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
#
# The programs are linked statically and run on the build machine under Wine. The
# window's Qt is the static one scripts/build-qt-windows installs (ORBI7_QT_WINDOWS,
# /opt/orbi7/qt6-mingw-static unless the environment names another folder), with the
# host tools of the machine's own Qt.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLE}-windres)

set(ORBI7_QT_WINDOWS $ENV{ORBI7_QT_WINDOWS})
if(NOT ORBI7_QT_WINDOWS)
  set(ORBI7_QT_WINDOWS /opt/orbi7/qt6-mingw-static)
endif()
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLE} ${ORBI7_QT_WINDOWS})
set(QT_HOST_PATH /usr)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No MinGW runtime DLLs to carry along: each program stands on its own.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

# ctest starts the test programs through Wine.
find_program(ORBI7_WINE wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(ORBI7_WINE wine64 wine)
if(ORBI7_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ORBI7_WINE})
endif()
