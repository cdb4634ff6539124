# What the Windows build does differently; included by the top-level
# CMakeLists.txt when WIN32 (cross-compiling with cmake/mingw-w64-*.cmake).

# rcgen runs during the build, so it is compiled for the build machine by
# its own compiler, not cross-compiled. Sets TOVANA_RCGEN (the program) and
# TOVANA_RCGEN_DEPENDS (what the generation step depends on).
function(tovana_host_rcgen)
  find_program(TOVANA_HOST_CXX NAMES c++ g++ clang++ REQUIRED NO_CMAKE_FIND_ROOT_PATH)
  set(program ${CMAKE_BINARY_DIR}/host-tools/rcgen)
  add_custom_command(
    OUTPUT ${program}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/host-tools
    COMMAND ${TOVANA_HOST_CXX} -std=c++17 -O1 -I${CMAKE_SOURCE_DIR}
            ${CMAKE_SOURCE_DIR}/ui/rcgen/rcgen.cpp -o ${program}
    DEPENDS ${CMAKE_SOURCE_DIR}/ui/rcgen/rcgen.cpp
    COMMENT "Building rcgen for the build machine")
  set(TOVANA_RCGEN ${program} PARENT_SCOPE)
  set(TOVANA_RCGEN_DEPENDS ${program} PARENT_SCOPE)
endfunction()

# The platform layer on Windows: the shared sources and the Win32 ones,
# the dialog framework included. A static library, so the plug-in carries it.
function(tovana_win32_platform_sources out)
  file(GLOB sources CONFIGURE_DEPENDS
    ${CMAKE_SOURCE_DIR}/platform/*.cpp ${CMAKE_SOURCE_DIR}/platform/win32/*.cpp)
  set(${out} ${sources} PARENT_SCOPE)
endfunction()

function(tovana_win32_platform_libraries target)
  target_link_libraries(${target} PUBLIC advapi32 shlwapi shell32 user32 comctl32 gdi32)
endfunction()

# ZentrixTvn.xfm on Windows: exports by the module-definition file (names
# and ordinals); the resources come with the core library.
function(tovana_win32_plugin target)
  set(def ${CMAKE_SOURCE_DIR}/host/ZentrixTvn.def)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    # 64-bit symbols carry no __stdcall decoration: export the plain names.
    file(READ ${def} text)
    string(REGEX REPLACE " = [A-Za-z]+@[0-9]+" "" text "${text}")
    set(def ${CMAKE_BINARY_DIR}/generated/ZentrixTvn64.def)
    file(WRITE ${def} "${text}")
  endif()
  target_sources(${target} PRIVATE ${def})
  target_link_options(${target} PRIVATE -static -Wl,--no-undefined)
endfunction()

# Every module built from the core library carries the resources compiled
# from the .rc script: its strings are loaded from the module itself.
function(tovana_win32_resources target)
  set(rc ${CMAKE_SOURCE_DIR}/ui/ZentrixTvn.rc)
  target_sources(${target} INTERFACE ${rc})
  set_property(SOURCE ${rc} APPEND PROPERTY OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/settings/resource_ids.h)
endfunction()
