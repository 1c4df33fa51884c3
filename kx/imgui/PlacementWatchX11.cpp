#include "kx/imgui/PlacementWatch.h"

namespace kx::imgui {

bool PlacementWatch::moved(GLFWwindow*) { return false; }

}  // namespace kx::imgui
