# Cross build of the 32-bit Windows plug-in with mingw-w64 (Debian package
# g++-mingw-w64-i686). The posix thread variant of the compiler is used:
# its libstdc++ has std::thread, std::mutex and thread_local, and its
# threading library is linked statically like the rest of the runtime.
#
#   cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(TOVANA_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
