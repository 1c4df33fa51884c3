# Dear ImGui 1.86 with its GLFW and OpenGL 3 back-ends, compiled from the unpacked
# Debian source. The current-context pointer is thread-local (see
# kx/imgui/GuiLibraryConfig.h), so every render thread works on a context of its own.
# OpenGL functions come from libepoxy, which resolves them per context; on Windows from
# the OpenGL 3 back-end's own loader.

set(TW07_IMGUI_DIR "${TW07_CACHE_DIR}/deps/imgui-1.86+ds" CACHE PATH "Unpacked Dear ImGui 1.86 sources")
if(NOT EXISTS "${TW07_IMGUI_DIR}/imgui.cpp")
  message(FATAL_ERROR "Dear ImGui sources not found in ${TW07_IMGUI_DIR}; run scripts/setup.sh")
endif()

if(NOT WIN32)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(EPOXY REQUIRED IMPORTED_TARGET epoxy)
endif()

# The "+ds" source may come without the stb headers; Debian's libstb-dev has them.
set(_imgui_stb_include "")
if(NOT EXISTS "${TW07_IMGUI_DIR}/imstb_truetype.h")
  find_path(TW07_STB_DIR stb_truetype.h PATH_SUFFIXES stb REQUIRED NO_CMAKE_FIND_ROOT_PATH)
  set(_imgui_stb_include "${TW07_STB_DIR}")
endif()

add_library(tw07_dearimgui STATIC
  ${TW07_IMGUI_DIR}/imgui.cpp
  ${TW07_IMGUI_DIR}/imgui_draw.cpp
  ${TW07_IMGUI_DIR}/imgui_tables.cpp
  ${TW07_IMGUI_DIR}/imgui_widgets.cpp
  ${TW07_IMGUI_DIR}/backends/imgui_impl_glfw.cpp
  ${TW07_IMGUI_DIR}/backends/imgui_impl_opengl3.cpp
  "${PROJECT_SOURCE_DIR}/kx/imgui/ThreadContextPointer.cpp"
)
set_target_properties(tw07_dearimgui PROPERTIES
  POSITION_INDEPENDENT_CODE ON
  CXX_VISIBILITY_PRESET hidden
  VISIBILITY_INLINES_HIDDEN ON)
target_compile_options(tw07_dearimgui PRIVATE -w)
target_include_directories(tw07_dearimgui SYSTEM PUBLIC
  "${TW07_IMGUI_DIR}" "${TW07_IMGUI_DIR}/backends" ${_imgui_stb_include})
target_include_directories(tw07_dearimgui PUBLIC "${PROJECT_SOURCE_DIR}")
target_compile_definitions(tw07_dearimgui PUBLIC
  "IMGUI_USER_CONFIG=\"kx/imgui/GuiLibraryConfig.h\""
  IMGUI_DISABLE_OBSOLETE_FUNCTIONS)
if(_imgui_stb_include)
  target_compile_definitions(tw07_dearimgui PRIVATE
    "IMGUI_STB_TRUETYPE_FILENAME=<stb_truetype.h>"
    "IMGUI_STB_RECT_PACK_FILENAME=<stb_rect_pack.h>")
endif()
if(WIN32)
  target_link_libraries(tw07_dearimgui PUBLIC tw07_glfw)
else()
  # The OpenGL 3 renderer takes its GL declarations from libepoxy instead of its own loader.
  set_source_files_properties(${TW07_IMGUI_DIR}/backends/imgui_impl_opengl3.cpp PROPERTIES
    COMPILE_DEFINITIONS IMGUI_IMPL_OPENGL_LOADER_CUSTOM
    COMPILE_OPTIONS "-include;epoxy/gl.h")
  target_link_libraries(tw07_dearimgui PUBLIC tw07_glfw PkgConfig::EPOXY)
endif()
