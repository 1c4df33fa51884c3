// Win32: WGL has no copy of part of the back buffer; every frame drawn is swapped whole.

#include "kx/imgui/RegionPresent.h"

namespace kx::imgui {

bool RegionPresent::available(GLFWwindow*) { return false; }

void RegionPresent::show(GLFWwindow*, const PixelRect&, int) {}

}  // namespace kx::imgui
