# Cross-building for Windows x86-64 with Debian's mingw-w64 (posix threads,
# which Qt's and std::thread need) against the Qt 6 kit named by ZARN_WINDOWS_KIT.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
if(NOT ZARN_WINDOWS_KIT)
  set(ZARN_WINDOWS_KIT "$ENV{ZARN_WINDOWS_KIT}")
endif()
set(ZARN_WINDOWS_KIT "${ZARN_WINDOWS_KIT}" CACHE PATH "The Qt 6 and qrcodegen kit for mingw-w64")
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 "${ZARN_WINDOWS_KIT}/qt6" "${ZARN_WINDOWS_KIT}/qrcodegen")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
list(APPEND CMAKE_PREFIX_PATH "/")
# moc, rcc and uic are the host's (Debian's qt6-base-dev-tools, the same 6.4.2).
set(QT_HOST_PATH /usr CACHE PATH "")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "")
# Tests run under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine CACHE STRING "")
