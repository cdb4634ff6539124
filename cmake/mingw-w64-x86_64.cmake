# Cross build for 64-bit Windows (Debian package g++-mingw-w64-x86-64).
# The editor loads only the 32-bit plug-in; this build exists so that the
# Win32 layer and the plug-in's exports can be exercised under a 64-bit
# Wine where 32-bit code cannot run.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(TOVANA_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
