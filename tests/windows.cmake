# The Windows module, cross-built, checked with the cross binutils and run under Wine.

add_test(NAME windows.module_exports_and_imports
  COMMAND "${CMAKE_COMMAND}" -DOBJDUMP=${CMAKE_OBJDUMP} -DMODULE=$<TARGET_FILE:tw07>
          -P "${CMAKE_CURRENT_SOURCE_DIR}/windows/CheckPeModule.cmake")
set_tests_properties(windows.module_exports_and_imports PROPERTIES LABELS windows)
