#pragma once
// Dear ImGui build configuration (IMGUI_USER_CONFIG). The current-context pointer is
// thread-local, so every editor's render thread works on its own context and its
// own back-end state, and no frame of one editor waits for another's.

struct ImGuiContext;
extern thread_local ImGuiContext* kxImguiCurrentContext;
#define GImGui kxImguiCurrentContext
