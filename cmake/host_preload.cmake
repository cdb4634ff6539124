# Tests that run the sanitized plug-in inside hosts built without the
# sanitizers (lv2apply, jalv, pipewire) preload the sanitizers' runtimes in
# those processes: TOVANA_LV2_HOST_PRELOAD names them for the target.
function(tovana_host_preload target)
  if(NOT TOVANA_SANITIZE)
    return()
  endif()
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libasan.so
                  OUTPUT_VARIABLE asan OUTPUT_STRIP_TRAILING_WHITESPACE)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libubsan.so
                  OUTPUT_VARIABLE ubsan OUTPUT_STRIP_TRAILING_WHITESPACE)
  target_compile_definitions(${target} PRIVATE TOVANA_LV2_HOST_PRELOAD="${asan}:${ubsan}")
endfunction()
