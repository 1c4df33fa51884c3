# GLFW 3.3.8 with its Win32 back-end and WGL contexts, from the same unpacked Debian
# source as the X11 build, into a static library linked into the module.
#
# GLFW registers its window class under a compile-time name. Ours comes from a function
# (kx/imgui/WindowClassName.h) that gives a fresh name at every glfwInit, so that two
# copies of the module in one host process never share a class. The libraries its
# initialisation loads by name pass through kx/imgui/GlfwLibraries.cpp, which keeps the joystick
# ones out.

find_package(Threads REQUIRED)

add_library(kx_glfw_window_class STATIC "${PROJECT_SOURCE_DIR}/kx/imgui/WindowClassName.cpp"
  "${PROJECT_SOURCE_DIR}/kx/imgui/GlfwLibraries.cpp")
target_include_directories(kx_glfw_window_class PUBLIC "${PROJECT_SOURCE_DIR}")

set(_glfw_src "${TW07_GLFW_DIR}/src")
add_library(tw07_glfw STATIC
  ${_glfw_src}/context.c ${_glfw_src}/init.c ${_glfw_src}/input.c ${_glfw_src}/monitor.c
  ${_glfw_src}/vulkan.c ${_glfw_src}/window.c
  ${_glfw_src}/win32_init.c ${_glfw_src}/win32_joystick.c ${_glfw_src}/win32_monitor.c
  ${_glfw_src}/win32_time.c ${_glfw_src}/win32_thread.c ${_glfw_src}/win32_window.c
  ${_glfw_src}/wgl_context.c ${_glfw_src}/egl_context.c ${_glfw_src}/osmesa_context.c
)
set_target_properties(tw07_glfw PROPERTIES C_STANDARD 99)
target_compile_definitions(tw07_glfw PRIVATE _GLFW_WIN32 "_GLFW_WNDCLASSNAME=kxGlfwWindowClassName()")
# Third-party code: its warnings are not ours to fix.
target_compile_options(tw07_glfw PRIVATE -w -include "${PROJECT_SOURCE_DIR}/kx/imgui/WindowClassName.h")
set_source_files_properties(${_glfw_src}/win32_init.c PROPERTIES COMPILE_DEFINITIONS "LoadLibraryA=kxGlfwLoadLibraryA")
target_include_directories(tw07_glfw SYSTEM PUBLIC "${TW07_GLFW_DIR}/include")
target_include_directories(tw07_glfw PRIVATE "${_glfw_src}")
target_link_libraries(tw07_glfw PUBLIC kx_glfw_window_class gdi32 Threads::Threads)
