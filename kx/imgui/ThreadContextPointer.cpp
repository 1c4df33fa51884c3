// Storage of Dear ImGui's current-context pointer, one per thread (see GuiLibraryConfig.h).

#include "imgui.h"

KX_IMGUI_CONTEXT_STORAGE ImGuiContext* kxImguiCurrentContext = nullptr;
