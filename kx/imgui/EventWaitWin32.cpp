// Win32: the editor's window belongs to the render thread, which created it, so its
// messages (input, painting) end the wait.

#include "kx/imgui/EventWait.h"

#include <windows.h>

namespace kx::imgui {

bool EventWait::until(std::chrono::steady_clock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    const auto wait = static_cast<DWORD>(left.count() > 0 ? left.count() : 0);
    return MsgWaitForMultipleObjects(0, nullptr, FALSE, wait, QS_ALLINPUT) != WAIT_TIMEOUT;
}

}  // namespace kx::imgui
