#pragma once
// Embedding of the GUI window in the host's window: the windowing-system calls that
// GLFW does not offer. One implementation per windowing system.

#include <cstdint>
#include <thread>

struct GLFWwindow;

namespace kx::imgui {

class PlatformWindow {
public:
    // Right before glfwInit.
    static void prepareInit();
    // Whether `parent` (the host's native window) exists, so the GUI window can go
    // into it. Needs GLFW initialised.
    static bool isWindow(void* parent);

    // The scale the desktop asks for an editor in `parent` (nullptr: anywhere), read
    // afresh at each call; 1 where it says nothing. `glfwReady`: GLFW is initialised.
    static double systemScale(void* parent, bool glfwReady);
    // The render thread's look at the scale of the monitor the window is on now, where the
    // windowing system tells it cheaply; 0 where it does not.
    static double windowScale(GLFWwindow* window);

    // Window hints to set before glfwCreateWindow, beyond the portable ones.
    static void setCreationHints();

    // Makes the window a borderless child of `parent` (the host's native window) at its
    // top-left corner and shows it. Returns 0, or the windowing system's error number
    // when the host's window refused the child; the window then stays hidden.
    static int attach(GLFWwindow* window, void* parent);

    // Takes the window out of the host's window again, so that destroying it later
    // cannot disturb the host's window.
    static void detach(GLFWwindow* window);

    // The window's native handle: its X11 Window id, or its HWND.
    static uintptr_t nativeHandle(GLFWwindow* window);

    // glfwDestroyWindow, tolerating a window the host has already destroyed with its own.
    static void destroy(GLFWwindow* window);

    // On the host's thread: waits until the render thread has ended and joins it.
    static void join(std::thread& renderThread);
};

}  // namespace kx::imgui
