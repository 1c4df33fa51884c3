// Win32: the libraries GLFW loads by name. Its Win32 initialisation is compiled with
// LoadLibraryA renamed to kxGlfwLoadLibraryA (ThirdPartyGlfwWin32.cmake), which refuses
// DirectInput and XInput. GLFW loads them at every initialisation for joysticks, which an editor
// never reads: in a host's process they only cost time, and under Wine XInput's device thread
// can still be running when glfwTerminate unloads it, which crashes the host. GLFW takes a
// refused library as absent and runs without joysticks.

#include <windows.h>

#include <string.h>

extern "C" HMODULE WINAPI kxGlfwLoadLibraryA(LPCSTR name)
{
    if (name == nullptr || _strnicmp(name, "xinput", 6) == 0 || _stricmp(name, "dinput8.dll") == 0) return nullptr;
    return LoadLibraryA(name);
}

// The renamed call keeps the system headers' declaration, an import: it goes through this pointer.
extern "C" {
decltype(&kxGlfwLoadLibraryA) __imp_kxGlfwLoadLibraryA = kxGlfwLoadLibraryA;
}
