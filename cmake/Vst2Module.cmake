# tw07_add_vst2_module(<target> <sources...>)
# Builds a VST 2.4 module (.so without the "lib" prefix) that exports exactly VSTPluginMain
# and main, and installs it into TW07_VST_DIR.

set(TW07_VST_DIR "$ENV{HOME}/.vst" CACHE PATH "Where cmake --install puts VST 2.4 modules")


function(tw07_add_vst2_module target)
  add_library(${target} MODULE ${ARGN} "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../kx/vst2/VstEntry.cpp")
  set_target_properties(${target} PROPERTIES PREFIX "" LINK_DEPENDS "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/vst2-exports.map")
  target_link_libraries(${target} PRIVATE kx_vst2)
  target_link_options(${target} PRIVATE
    "LINKER:--version-script=${CMAKE_CURRENT_FUNCTION_LIST_DIR}/vst2-exports.map" "LINKER:--no-undefined" "LINKER:--exclude-libs,ALL")
  install(TARGETS ${target} LIBRARY DESTINATION "${TW07_VST_DIR}")
endfunction()
