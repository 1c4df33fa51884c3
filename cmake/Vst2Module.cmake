# tw07_add_vst2_module(<target> <sources...>)
# Builds a VST 2.4 module (.so without the "lib" prefix) that exports exactly VSTPluginMain
# and main, and installs it into TW07_VST_DIR.

set(TW07_VST_DIR "$ENV{HOME}/.vst" CACHE PATH "Where cmake --install puts VST 2.4 modules")

set(TW07_VST2_ENTRY_SOURCE "${CMAKE_CURRENT_LIST_DIR}/../kx/vst2/VstEntry.cpp")
set(TW07_VST2_EXPORTS "${CMAKE_CURRENT_LIST_DIR}/vst2-exports.map")

function(tw07_add_vst2_module target)
  add_library(${target} MODULE ${ARGN} ${TW07_VST2_ENTRY_SOURCE})
  set_target_properties(${target} PROPERTIES PREFIX "" LINK_DEPENDS "${TW07_VST2_EXPORTS}")
  target_link_libraries(${target} PRIVATE kx_vst2)
  target_link_options(${target} PRIVATE
    "LINKER:--version-script=${TW07_VST2_EXPORTS}" "LINKER:--no-undefined" "LINKER:--exclude-libs,ALL")
  install(TARGETS ${target} LIBRARY DESTINATION "${TW07_VST_DIR}")
endfunction()
