#pragma once
// The editor's typefaces, built into the module in stb_compress form for
// ImFontAtlas::AddFontFromMemoryCompressedTTF.

namespace kx::imgui {

struct CompressedFont {
    const unsigned char* data;
    int compressedSize;  // bytes at data
};

class EmbeddedFonts {
public:
    static CompressedFont robotoMedium();
    static CompressedFont poppinsMedium();
    static CompressedFont poppinsRegular();
};

}  // namespace kx::imgui
