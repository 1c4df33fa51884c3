# The editor's three typefaces, embedded into the module at build time in the
# compressed form that ImFontAtlas::AddFontFromMemoryCompressedTTF reads. The font
# files themselves come from the system and the setup cache and are never committed.

set(TW07_FONT_ROBOTO_MEDIUM
  "/usr/share/fonts/truetype/roboto/unhinted/RobotoTTF/Roboto-Medium.ttf"
  CACHE FILEPATH "Roboto Medium TrueType file")
set(TW07_FONT_POPPINS_MEDIUM
  "${TW07_CACHE_DIR}/npm/node_modules/@expo-google-fonts/poppins/500Medium/Poppins_500Medium.ttf"
  CACHE FILEPATH "Poppins Medium TrueType file")
set(TW07_FONT_POPPINS_REGULAR
  "${TW07_CACHE_DIR}/npm/node_modules/@expo-google-fonts/poppins/400Regular/Poppins_400Regular.ttf"
  CACHE FILEPATH "Poppins Regular TrueType file")

foreach(_font TW07_FONT_ROBOTO_MEDIUM TW07_FONT_POPPINS_MEDIUM TW07_FONT_POPPINS_REGULAR)
  if(NOT EXISTS "${${_font}}")
    message(FATAL_ERROR "${_font} not found at ${${_font}}; run scripts/setup.sh")
  endif()
endforeach()

find_path(TW07_STB_H_DIR stb.h PATH_SUFFIXES stb REQUIRED NO_CMAKE_FIND_ROOT_PATH)

# Build-time tool: compresses one font file and writes it out as C++ source.
set(_embedder_source "${PROJECT_SOURCE_DIR}/kx/imgui/fonts/FontEmbedder.cpp")
if(CMAKE_CROSSCOMPILING)
  # It runs on the build machine, so it is built with the build machine's compiler.
  find_program(TW07_BUILD_CXX NAMES c++ g++ REQUIRED NO_CMAKE_FIND_ROOT_PATH)
  set(_embedder "${CMAKE_CURRENT_BINARY_DIR}/tw07_font_embedder")
  add_custom_command(OUTPUT "${_embedder}"
    COMMAND "${TW07_BUILD_CXX}" -O1 -Wall -Wextra -isystem "${TW07_STB_H_DIR}" "${_embedder_source}" -o "${_embedder}"
    DEPENDS "${_embedder_source}"
    COMMENT "Building the font embedder for the build machine"
    VERBATIM)
else()
  add_executable(tw07_font_embedder "${_embedder_source}")
  target_include_directories(tw07_font_embedder SYSTEM PRIVATE "${TW07_STB_H_DIR}")
  # The tool runs during the build; it is built without the sanitizer runtimes.
  set_target_properties(tw07_font_embedder PROPERTIES COMPILE_OPTIONS "-Wall;-Wextra" LINK_OPTIONS "")
  set(_embedder tw07_font_embedder)
endif()

set(_font_outputs "")
foreach(_pair "robotoMedium;${TW07_FONT_ROBOTO_MEDIUM}"
              "poppinsMedium;${TW07_FONT_POPPINS_MEDIUM}"
              "poppinsRegular;${TW07_FONT_POPPINS_REGULAR}")
  list(GET _pair 0 _name)
  list(GET _pair 1 _file)
  set(_out "${CMAKE_CURRENT_BINARY_DIR}/fonts/${_name}.cpp")
  add_custom_command(OUTPUT "${_out}"
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${CMAKE_CURRENT_BINARY_DIR}/fonts"
    COMMAND "${_embedder}" "${_file}" "${_name}" "${_out}"
    DEPENDS "${_embedder}" "${_file}"
    COMMENT "Embedding font ${_name}"
    VERBATIM)
  list(APPEND _font_outputs "${_out}")
endforeach()

add_library(kx_imgui_fonts STATIC ${_font_outputs})
target_include_directories(kx_imgui_fonts PUBLIC "${PROJECT_SOURCE_DIR}")
