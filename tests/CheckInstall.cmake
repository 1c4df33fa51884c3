# cmake -DBUILD_DIR=... -DDEST=... -DFILES=a,b -P CheckInstall.cmake
# cmake --install puts each module where hosts look: the install is staged under DEST
# (DESTDIR), and every file of FILES (absolute install paths) must be there.
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE "${DEST}")
execute_process(COMMAND "${CMAKE_COMMAND}" -E env "DESTDIR=${DEST}" "${CMAKE_COMMAND}" --install "${BUILD_DIR}"
  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed:\n${output}")
endif()
string(REPLACE "," ";" FILES "${FILES}")
foreach(installed IN LISTS FILES)
  if(NOT EXISTS "${DEST}${installed}")
    message(FATAL_ERROR "${installed} was not installed; cmake --install said:\n${output}")
  endif()
  message(STATUS "installed ${installed}")
endforeach()
file(REMOVE_RECURSE "${DEST}")
