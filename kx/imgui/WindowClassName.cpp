#include "kx/imgui/WindowClassName.h"

#include <cstdint>
#include <cstdlib>
#include <ctime>

namespace {

wchar_t className[] = L"GLFW3_kx_####";
constexpr int kFirstLetter = 9;  // index of the first '#'

}  // namespace

extern "C" const wchar_t* kxGlfwWindowClassName(void) { return className; }

extern "C" void kxGlfwNewWindowClassName(void)
{
    // Seeded from the time; the name's own address (one per loaded copy of the module)
    // keeps two copies initialising within the same second apart. The C library keeps
    // the generator per thread, and this runs on the editor's render thread.
    const auto here = reinterpret_cast<std::uintptr_t>(&className);
    std::srand(static_cast<unsigned>(std::time(nullptr)) ^ static_cast<unsigned>(here >> 4));
    for (int i = 0; i < 4; ++i) className[kFirstLetter + i] = static_cast<wchar_t>(L'a' + std::rand() % 26);
}
