# The Windows module, cross-built, checked with the cross binutils and run under Wine.

add_test(NAME windows.module_exports_and_imports
  COMMAND "${CMAKE_COMMAND}" -DOBJDUMP=${CMAKE_OBJDUMP} -DMODULE=$<TARGET_FILE:tw07> -DEXPORTS=VSTPluginMain,main
          -P "${CMAKE_CURRENT_SOURCE_DIR}/windows/CheckPeModule.cmake")
add_test(NAME windows.clap_module_exports_and_imports
  COMMAND "${CMAKE_COMMAND}" -DOBJDUMP=${CMAKE_OBJDUMP} -DMODULE=$<TARGET_FILE:tw07_clap> -DEXPORTS=clap_entry
          -P "${CMAKE_CURRENT_SOURCE_DIR}/windows/CheckPeModule.cmake")
add_test(NAME windows.vst3_module_exports_and_imports
  COMMAND "${CMAKE_COMMAND}" -DOBJDUMP=${CMAKE_OBJDUMP} -DMODULE=$<TARGET_FILE:tw07_vst3>
          -DEXPORTS=ExitDll,GetPluginFactory,InitDll -P "${CMAKE_CURRENT_SOURCE_DIR}/windows/CheckPeModule.cmake")
set_tests_properties(windows.module_exports_and_imports windows.clap_module_exports_and_imports
  windows.vst3_module_exports_and_imports PROPERTIES LABELS windows)

# GoogleTest, cross-compiled from Debian's googletest source package.
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL SYSTEM)

# Tests under Wine take turns with the prefix (see wine-run.sh).
set(TW07_WINE_RUN "${CMAKE_CURRENT_SOURCE_DIR}/windows/wine-run.sh"
  "${CMAKE_BINARY_DIR}/wineprefix")
if(NOT TW07_XVFB_RUN)
  message(FATAL_ERROR "the Windows editor test needs xvfb-run")
endif()

# Wine reaches the Unix file system through drive Z:.
set(_module_z "Z:$<TARGET_FILE:tw07>")

# The effect through the exported entry point, as a Windows host loads it. The export
# check of the Linux suite is nm-based; the objdump check above replaces it here.
add_executable(windows_module_tests
  ${CMAKE_CURRENT_SOURCE_DIR}/effect/ModuleTest.cpp ${CMAKE_CURRENT_SOURCE_DIR}/windows/OutputTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/formats/FloatModeTest.cpp)
target_link_libraries(windows_module_tests PRIVATE tw07_render GTest::gtest_main)
target_compile_definitions(windows_module_tests PRIVATE TW07_MODULE_PATH="${_module_z}"
  TW07_CLAP_PATH="Z:$<TARGET_FILE:tw07_clap>" TW07_VST3_PATH="Z:${PROJECT_BINARY_DIR}/plug/tw07.vst3")
add_dependencies(windows_module_tests tw07 tw07_clap tw07_vst3)
add_test(NAME windows.module COMMAND ${TW07_WINE_RUN} $<TARGET_FILE:windows_module_tests>
  --gtest_filter=-ModuleExports.*:WindowsOutput.MatchesTheLinuxModule)
set_tests_properties(windows.module PROPERTIES LABELS windows RESOURCE_LOCK wineprefix)

# The CLAP module through its entry, and against the VST 2 module of the same build.
add_executable(windows_clap_tests ${CMAKE_CURRENT_SOURCE_DIR}/clap/ClapModuleTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/formats/Vst2Reference.cpp)
target_link_libraries(windows_clap_tests PRIVATE tw07_render plug_presets GTest::gtest_main)
target_compile_definitions(windows_clap_tests PRIVATE TW07_MODULE_PATH="${_module_z}"
  TW07_CLAP_PATH="Z:$<TARGET_FILE:tw07_clap>")
add_dependencies(windows_clap_tests tw07 tw07_clap)
add_test(NAME windows.clap COMMAND ${TW07_WINE_RUN} $<TARGET_FILE:windows_clap_tests>)
set_tests_properties(windows.clap PROPERTIES LABELS windows RESOURCE_LOCK wineprefix)

# The VST 3 bundle through its entry, and against the VST 2 module of the same build.
add_executable(windows_vst3_tests ${CMAKE_CURRENT_SOURCE_DIR}/vst3/Vst3ModuleTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/formats/Vst2Reference.cpp)
target_link_libraries(windows_vst3_tests PRIVATE tw07_render plug_presets GTest::gtest_main)
target_compile_definitions(windows_vst3_tests PRIVATE TW07_MODULE_PATH="${_module_z}"
  TW07_VST3_PATH="Z:${PROJECT_BINARY_DIR}/plug/tw07.vst3")
add_dependencies(windows_vst3_tests tw07 tw07_vst3)
add_test(NAME windows.vst3 COMMAND ${TW07_WINE_RUN} $<TARGET_FILE:windows_vst3_tests>)
set_tests_properties(windows.vst3 PROPERTIES LABELS windows RESOURCE_LOCK wineprefix)

# Against the Linux module of the default preset's build, when there is one.
set(TW07_LINUX_BUILD_DIR "${PROJECT_SOURCE_DIR}/build/default" CACHE PATH
  "Linux build whose module the Windows output is compared with")
add_test(NAME windows.matches_linux
  COMMAND "${CMAKE_CURRENT_SOURCE_DIR}/windows/compare-with-linux.sh" "${TW07_LINUX_BUILD_DIR}"
          "${CMAKE_CURRENT_BINARY_DIR}/linux-reference" ${TW07_WINE_RUN} $<TARGET_FILE:windows_module_tests>)
set_tests_properties(windows.matches_linux PROPERTIES LABELS windows SKIP_RETURN_CODE 77
  RESOURCE_LOCK wineprefix)

# The editor on a virtual X server. A second copy of the module under another file name
# stands for a second plug-in built on the same code in one host process.
if(TW07_BUILD_EDITOR)
  set(_module_copy "${CMAKE_CURRENT_BINARY_DIR}/tw07-copy.dll")
  add_custom_command(OUTPUT "${_module_copy}"
    COMMAND "${CMAKE_COMMAND}" -E copy "$<TARGET_FILE:tw07>" "${_module_copy}"
    DEPENDS tw07 VERBATIM)
  add_executable(windows_editor_tests ${CMAKE_CURRENT_SOURCE_DIR}/windows/EditorTest.cpp "${_module_copy}")
  target_link_libraries(windows_editor_tests PRIVATE tw07_host GTest::gtest_main gdi32)
  target_compile_definitions(windows_editor_tests PRIVATE
    TW07_MODULE_PATH="${_module_z}" TW07_MODULE_COPY_PATH="Z:${_module_copy}"
    TW07_VST3_PATH="Z:${PROJECT_BINARY_DIR}/plug/tw07.vst3")
  add_dependencies(windows_editor_tests tw07_vst3)
  add_test(NAME windows.editor COMMAND ${TW07_VIRTUAL_DISPLAY}
    ${TW07_WINE_RUN} $<TARGET_FILE:windows_editor_tests> --gtest_filter=-WindowsEditorAt200Percent.*)
  set_tests_properties(windows.editor PROPERTIES LABELS "windows;editor" TIMEOUT 180
    RESOURCE_LOCK wineprefix)
  # The same editor on a desktop at 192 DPI (the screen as large as the editor at 2x).
  add_test(NAME windows.editor_hidpi COMMAND ${TW07_XVFB_RUN} -a -s "-noreset -screen 0 1920x1200x24"
    ${CMAKE_CURRENT_SOURCE_DIR}/windows/wine-hidpi-run.sh "${CMAKE_BINARY_DIR}/wineprefix"
    $<TARGET_FILE:windows_editor_tests> --gtest_filter=WindowsEditorAt200Percent.*)
  set_tests_properties(windows.editor_hidpi PROPERTIES LABELS "windows;editor" TIMEOUT 180
    RESOURCE_LOCK wineprefix)
endif()

add_test(NAME windows.host_tool
  COMMAND "${CMAKE_CURRENT_SOURCE_DIR}/windows/host-tool.sh" "${CMAKE_CURRENT_BINARY_DIR}/host-tool"
          "${_module_z}" "Z:$<TARGET_FILE:tw07_clap>" "Z:${PROJECT_BINARY_DIR}/plug/tw07.vst3" ${TW07_WINE_RUN}
          $<TARGET_FILE:tw07-host>)
set_tests_properties(windows.host_tool PROPERTIES LABELS windows RESOURCE_LOCK wineprefix)
