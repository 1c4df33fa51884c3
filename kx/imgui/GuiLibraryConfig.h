#pragma once
// Dear ImGui build configuration (IMGUI_USER_CONFIG). The current-context pointer is
// thread-local, so every editor's render thread works on its own context and its
// own back-end state, and no frame of one editor waits for another's.
// Plain (constant-initialised) thread storage: Dear ImGui reads this pointer in nearly
// every call, and C++ thread_local would add an initialisation check to each read.

struct ImGuiContext;
#if defined(_MSC_VER)
#define KX_IMGUI_CONTEXT_STORAGE __declspec(thread)
#else
#define KX_IMGUI_CONTEXT_STORAGE __attribute__((visibility("hidden"))) __thread
#endif
extern KX_IMGUI_CONTEXT_STORAGE ImGuiContext* kxImguiCurrentContext;
#define GImGui kxImguiCurrentContext
