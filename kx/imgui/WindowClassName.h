#pragma once
// Win32: the name under which GLFW registers, uses and unregisters its window class
// (its _GLFW_WNDCLASSNAME is defined as a call of kxGlfwWindowClassName). Included into
// GLFW's C sources by the build, so it is plain C.

#include <wchar.h>

#ifdef __cplusplus
extern "C" {
#endif

// The current name, "GLFW3_kx_" followed by four lowercase letters.
const wchar_t* kxGlfwWindowClassName(void);

// Draws four new letters. Called right before every glfwInit, so that each
// initialisation (and each copy of the module in a process) registers a class of its own.
void kxGlfwNewWindowClassName(void);

#ifdef __cplusplus
}
#endif
