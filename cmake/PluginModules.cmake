# tw07_add_vst2_module(<target> [NO_INSTALL] <sources...>)
#   A VST 2.4 module: <target>.so (Windows: .dll), exporting VSTPluginMain and main.
# tw07_add_clap_module(<target> OUTPUT_NAME <name> [NO_INSTALL] <sources...>)
#   A CLAP module: <name>.clap, exporting clap_entry.
# tw07_add_lv2_module(<target> OUTPUT_NAME <name> TURTLE <generator> [UI <ui-target>] [NO_INSTALL] <sources...>)
#   An LV2 bundle (Linux): <name>.lv2/<name>.so, exporting lv2_descriptor, its editor
#   <name>.lv2/<name>_ui.so, exporting lv2ui_descriptor (built from the same sources, as
#   <ui-target>), and its Turtle files, which the generator program (run as
#   "<generator> DIR BINARY UI_BINARY") writes at build time.
# tw07_add_vst3_module(<target> OUTPUT_NAME <name> [NO_INSTALL] <sources...>)
#   A VST 3 bundle: <name>.vst3/Contents/x86_64-linux/<name>.so (Windows:
#   x86_64-win/<name>.vst3), exporting GetPluginFactory and the module's entry and exit.
# tw07_add_standalone(<target> OUTPUT_NAME <name> [NO_INSTALL] <sources...>)
#   The standalone program (Linux): <name>, a JACK client, exporting nothing.
# Each has its format's entry compiled in. A linker version script (Windows: a module
# definition file) leaves exactly the entry exported; the static libraries linked in keep
# their symbols to themselves. Unless NO_INSTALL is given (test modules), cmake --install
# puts the module into the format's folder.

if(WIN32)
  set(_default_vst_dir "${PROJECT_BINARY_DIR}/vst2")
  set(_default_clap_dir "${PROJECT_BINARY_DIR}/clap")
  set(_default_vst3_dir "${PROJECT_BINARY_DIR}/vst3")
else()
  set(_default_vst_dir "$ENV{HOME}/.vst")
  set(_default_clap_dir "$ENV{HOME}/.clap")
  set(_default_vst3_dir "$ENV{HOME}/.vst3")
endif()
set(TW07_LV2_DIR "$ENV{HOME}/.lv2" CACHE PATH "Where cmake --install puts LV2 bundles")
set(TW07_BIN_DIR "$ENV{HOME}/.local/bin" CACHE PATH "Where cmake --install puts the standalone program")
set(TW07_VST_DIR "${_default_vst_dir}" CACHE PATH "Where cmake --install puts VST 2.4 modules")
set(TW07_CLAP_DIR "${_default_clap_dir}" CACHE PATH "Where cmake --install puts CLAP modules")
set(TW07_VST3_DIR "${_default_vst3_dir}" CACHE PATH "Where cmake --install puts VST 3 bundles")


# <exports>: the export files' path without .map/.def.
function(_tw07_add_module target binding entry exports install_dir no_install)
  if(WIN32)
    add_library(${target} MODULE ${ARGN} ${entry} "${exports}.def")
  else()
    add_library(${target} MODULE ${ARGN} ${entry})
    set_target_properties(${target} PROPERTIES LINK_DEPENDS "${exports}.map")
    target_link_options(${target} PRIVATE "LINKER:--version-script=${exports}.map" "LINKER:--exclude-libs,ALL")
  endif()
  set_target_properties(${target} PROPERTIES PREFIX "")
  target_link_libraries(${target} PRIVATE ${binding})
  # Every symbol resolved at link time; sanitizer builds leave their runtime to the executable.
  if(TW07_SANITIZE STREQUAL "")
    target_link_options(${target} PRIVATE "LINKER:--no-undefined")
  endif()
  if(NOT no_install)
    install(TARGETS ${target} LIBRARY DESTINATION "${install_dir}")
  endif()
endfunction()

function(tw07_add_vst2_module target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "NO_INSTALL" "" "")
  _tw07_add_module(${target} kx_vst2 "${PROJECT_SOURCE_DIR}/kx/vst2/VstEntry.cpp"
    "${PROJECT_SOURCE_DIR}/cmake/vst2-exports" "${TW07_VST_DIR}" "${arg_NO_INSTALL}" ${arg_UNPARSED_ARGUMENTS})
endfunction()

function(tw07_add_clap_module target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "NO_INSTALL" "OUTPUT_NAME" "")
  _tw07_add_module(${target} kx_clap "${PROJECT_SOURCE_DIR}/kx/clap/ClapEntry.cpp"
    "${PROJECT_SOURCE_DIR}/cmake/clap-exports" "${TW07_CLAP_DIR}" "${arg_NO_INSTALL}" ${arg_UNPARSED_ARGUMENTS})
  set_target_properties(${target} PROPERTIES OUTPUT_NAME "${arg_OUTPUT_NAME}" SUFFIX ".clap")
endfunction()

function(tw07_add_vst3_module target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "NO_INSTALL" "OUTPUT_NAME" "")
  if(WIN32)
    set(architecture x86_64-win)
    set(suffix ".vst3")
  else()
    set(architecture x86_64-linux)
    set(suffix ".so")
  endif()
  set(contents "${arg_OUTPUT_NAME}.vst3/Contents/${architecture}")
  _tw07_add_module(${target} kx_vst3 "${PROJECT_SOURCE_DIR}/kx/vst3/Vst3Entry.cpp"
    "${PROJECT_SOURCE_DIR}/cmake/vst3-exports" "${TW07_VST3_DIR}/${contents}" "${arg_NO_INSTALL}"
    ${arg_UNPARSED_ARGUMENTS})
  set_target_properties(${target} PROPERTIES OUTPUT_NAME "${arg_OUTPUT_NAME}" SUFFIX "${suffix}"
    LIBRARY_OUTPUT_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}/${contents}"
    RUNTIME_OUTPUT_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}/${contents}")
endfunction()

function(tw07_add_lv2_module target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "NO_INSTALL" "OUTPUT_NAME;TURTLE;UI" "")
  set(bundle "${CMAKE_CURRENT_BINARY_DIR}/${arg_OUTPUT_NAME}.lv2")
  _tw07_add_module(${target} kx_lv2 "${PROJECT_SOURCE_DIR}/kx/lv2/Lv2Entry.cpp"
    "${PROJECT_SOURCE_DIR}/cmake/lv2-exports" "${TW07_LV2_DIR}/${arg_OUTPUT_NAME}.lv2" "${arg_NO_INSTALL}"
    ${arg_UNPARSED_ARGUMENTS})
  set_target_properties(${target} PROPERTIES OUTPUT_NAME "${arg_OUTPUT_NAME}" LIBRARY_OUTPUT_DIRECTORY "${bundle}")
  _tw07_add_module(${arg_UI} kx_lv2 "${PROJECT_SOURCE_DIR}/kx/lv2/Lv2UiEntry.cpp"
    "${PROJECT_SOURCE_DIR}/cmake/lv2ui-exports" "${TW07_LV2_DIR}/${arg_OUTPUT_NAME}.lv2" "${arg_NO_INSTALL}"
    ${arg_UNPARSED_ARGUMENTS})
  set_target_properties(${arg_UI} PROPERTIES OUTPUT_NAME "${arg_OUTPUT_NAME}_ui" LIBRARY_OUTPUT_DIRECTORY "${bundle}")
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND $<TARGET_FILE:${arg_TURTLE}> "${bundle}" "${arg_OUTPUT_NAME}.so" "${arg_OUTPUT_NAME}_ui.so"
    COMMENT "Describing ${arg_OUTPUT_NAME}.lv2 in Turtle" VERBATIM)
  add_dependencies(${target} ${arg_TURTLE} ${arg_UI})
  if(NOT arg_NO_INSTALL)
    install(FILES "${bundle}/manifest.ttl" "${bundle}/${arg_OUTPUT_NAME}.ttl"
      DESTINATION "${TW07_LV2_DIR}/${arg_OUTPUT_NAME}.lv2")
  endif()
endfunction()

function(tw07_add_standalone target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "NO_INSTALL" "OUTPUT_NAME" "")
  add_executable(${target} ${arg_UNPARSED_ARGUMENTS} "${PROJECT_SOURCE_DIR}/kx/standalone/StandaloneMain.cpp")
  target_link_libraries(${target} PRIVATE kx_standalone)
  # A program exports nothing: the version script hides even the linker's own symbols.
  set(exports "${PROJECT_SOURCE_DIR}/cmake/standalone-exports.map")
  target_link_options(${target} PRIVATE "LINKER:--version-script=${exports}" "LINKER:--exclude-libs,ALL")
  set_target_properties(${target} PROPERTIES OUTPUT_NAME "${arg_OUTPUT_NAME}" LINK_DEPENDS "${exports}")
  if(NOT arg_NO_INSTALL)
    install(TARGETS ${target} RUNTIME DESTINATION "${TW07_BIN_DIR}")
  endif()
endfunction()
