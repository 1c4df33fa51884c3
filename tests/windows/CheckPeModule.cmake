# cmake -DOBJDUMP=... -DMODULE=... -DEXPORTS=a,b -P CheckPeModule.cmake
# A Windows module must export exactly its format's entry points, and import from Windows
# system DLLs only: a host machine has no MinGW runtime DLLs, and a third-party DLL
# beside the module would be looked for in the host's folder, not ours.
cmake_minimum_required(VERSION 3.25)

execute_process(COMMAND "${OBJDUMP}" -p "${MODULE}" OUTPUT_VARIABLE dump RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${MODULE} failed")
endif()

# The export name table follows its header, one "\t[   0] VSTPluginMain" row per name.
string(FIND "${dump}" "[Ordinal/Name Pointer] Table" start)
if(start LESS 0)
  message(FATAL_ERROR "no export table found in ${MODULE}")
endif()
string(SUBSTRING "${dump}" ${start} -1 table)
# Square brackets would keep CMake from splitting the list at the semicolons.
string(REPLACE "[" "<" table "${table}")
string(REPLACE "]" ">" table "${table}")
string(REPLACE "\n" ";" lines "${table}")
list(POP_FRONT lines)
set(exports "")
foreach(line IN LISTS lines)
  if(NOT line MATCHES "^[ \t]+< *[0-9]+> (.+)$")
    break()
  endif()
  list(APPEND exports "${CMAKE_MATCH_1}")
endforeach()
list(SORT exports)
string(REPLACE "," ";" EXPORTS "${EXPORTS}")
if(NOT exports STREQUAL EXPORTS)
  message(FATAL_ERROR "exports are [${exports}], expected [${EXPORTS}]")
endif()

set(system_dlls
  kernel32 user32 gdi32 opengl32 msvcrt advapi32 shell32 ole32 oleaut32 winmm imm32 dwmapi
  shlwapi version uuid comdlg32 ws2_32 bcrypt)
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
if(NOT imports)
  message(FATAL_ERROR "no import table found in ${MODULE}")
endif()
foreach(line IN LISTS imports)
  string(REGEX REPLACE "DLL Name: (.+)\\.[dD][lL][lL]$" "\\1" dll "${line}")
  string(TOLOWER "${dll}" dll)
  if(NOT dll IN_LIST system_dlls AND NOT dll MATCHES "^api-ms-win-")
    message(FATAL_ERROR "${MODULE} imports ${line}, which is not a Windows system DLL")
  endif()
  message(STATUS "imports ${dll}")
endforeach()
message(STATUS "exports ${exports}")
