# GLFW 3.3.8, X11 back-end, compiled from the unpacked Debian source into a static,
# position-independent library whose symbols stay hidden inside our module, so a
# host or another module with its own GLFW can neither see nor replace ours.

set(TW07_GLFW_DIR "${TW07_CACHE_DIR}/deps/glfw3-3.3.8" CACHE PATH "Unpacked GLFW 3.3.8 sources")
if(NOT EXISTS "${TW07_GLFW_DIR}/src/x11_window.c")
  message(FATAL_ERROR "GLFW sources not found in ${TW07_GLFW_DIR}; run scripts/setup.sh")
endif()

if(WIN32)
  include(ThirdPartyGlfwWin32)
  return()
endif()

find_package(X11 REQUIRED)
find_package(Threads REQUIRED)

set(_glfw_src "${TW07_GLFW_DIR}/src")
add_library(tw07_glfw STATIC
  ${_glfw_src}/context.c ${_glfw_src}/init.c ${_glfw_src}/input.c ${_glfw_src}/monitor.c
  ${_glfw_src}/vulkan.c ${_glfw_src}/window.c
  ${_glfw_src}/x11_init.c ${_glfw_src}/x11_monitor.c ${_glfw_src}/x11_window.c
  ${_glfw_src}/xkb_unicode.c ${_glfw_src}/posix_time.c ${_glfw_src}/posix_thread.c
  ${_glfw_src}/glx_context.c ${_glfw_src}/egl_context.c ${_glfw_src}/osmesa_context.c
  ${_glfw_src}/linux_joystick.c
)
set_target_properties(tw07_glfw PROPERTIES
  C_STANDARD 99
  POSITION_INDEPENDENT_CODE ON
  C_VISIBILITY_PRESET hidden)
target_compile_definitions(tw07_glfw PRIVATE _GLFW_X11 _DEFAULT_SOURCE)
# GLFW's display connection and its error handler go through functions of ours
# (kx/imgui/PlatformWindowX11.cpp), which catch the connection's errors on the
# connection itself and never touch Xlib's process-wide handler, the host's.
set_source_files_properties(${_glfw_src}/x11_init.c PROPERTIES
  COMPILE_DEFINITIONS "XOpenDisplay=kxGlfwOpenDisplay;XSetErrorHandler=kxGlfwSetErrorHandler")
# Third-party code: its warnings are not ours to fix.
target_compile_options(tw07_glfw PRIVATE -w)
target_include_directories(tw07_glfw SYSTEM PUBLIC "${TW07_GLFW_DIR}/include")
target_include_directories(tw07_glfw PRIVATE "${_glfw_src}")
target_link_libraries(tw07_glfw PUBLIC X11::X11 Threads::Threads ${CMAKE_DL_LIBS} m)
