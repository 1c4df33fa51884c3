// Storage of Dear ImGui's current-context pointer, one per thread (see ImguiConfig.h).

#include "imgui.h"

thread_local ImGuiContext* kxImguiCurrentContext = nullptr;
