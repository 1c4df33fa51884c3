# tw07_add_vst2_module(<target> [NO_INSTALL] <sources...>)
# Builds a VST 2.4 module (.so, or .dll on Windows, without the "lib" prefix) with the
# entry point compiled in. A linker version script (Windows: a module definition file)
# leaves exactly VSTPluginMain and main exported; the static libraries linked in keep
# their symbols to themselves. Unless NO_INSTALL is given (test modules), cmake --install
# puts the module into TW07_VST_DIR.

if(WIN32)
  set(_default_vst_dir "${PROJECT_BINARY_DIR}/vst2")
else()
  set(_default_vst_dir "$ENV{HOME}/.vst")
endif()
set(TW07_VST_DIR "${_default_vst_dir}" CACHE PATH "Where cmake --install puts VST 2.4 modules")

function(tw07_add_vst2_module target)
  set(TW07_VST2_ENTRY_SOURCE "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../kx/vst2/VstEntry.cpp")
  cmake_parse_arguments(PARSE_ARGV 1 arg "NO_INSTALL" "" "")
  if(WIN32)
    add_library(${target} MODULE ${arg_UNPARSED_ARGUMENTS} ${TW07_VST2_ENTRY_SOURCE}
      "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/vst2-exports.def")
    set_target_properties(${target} PROPERTIES PREFIX "")
    target_link_libraries(${target} PRIVATE kx_vst2)
  else()
    set(TW07_VST2_EXPORTS "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/vst2-exports.map")
    add_library(${target} MODULE ${arg_UNPARSED_ARGUMENTS} ${TW07_VST2_ENTRY_SOURCE})
    set_target_properties(${target} PROPERTIES PREFIX "" LINK_DEPENDS "${TW07_VST2_EXPORTS}")
    target_link_libraries(${target} PRIVATE kx_vst2)
    target_link_options(${target} PRIVATE "LINKER:--version-script=${TW07_VST2_EXPORTS}" "LINKER:--exclude-libs,ALL")
  endif()
  # Every symbol resolved at link time; sanitizer builds leave their runtime to the executable.
  if(TW07_SANITIZE STREQUAL "")
    target_link_options(${target} PRIVATE "LINKER:--no-undefined")
  endif()
  if(NOT arg_NO_INSTALL)
    install(TARGETS ${target} LIBRARY DESTINATION "${TW07_VST_DIR}")
  endif()
endfunction()
