// Build-time tool: reads a TrueType file, compresses it with stb_compress (the format
// ImFontAtlas::AddFontFromMemoryCompressedTTF decompresses) and writes a C++ source
// file defining kx::imgui::EmbeddedFonts::<name>() that returns the compressed bytes.
//
//   tw07_font_embedder <font.ttf> <name> <output.cpp>

#define STB_DEFINE
#include <stb.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <font.ttf> <name> <output.cpp>\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::vector<unsigned char> font((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    if (font.empty()) {
        std::fprintf(stderr, "%s is empty\n", argv[1]);
        return 1;
    }
    // stb_compress never grows its input by more than a few bytes per 64 KiB of literals.
    std::vector<unsigned char> packed(font.size() + font.size() / 8 + 1024);
    const stb_uint packedSize = stb_compress(packed.data(), font.data(), static_cast<stb_uint>(font.size()));

    std::FILE* out = std::fopen(argv[3], "w");
    if (out == nullptr) {
        std::fprintf(stderr, "cannot write %s\n", argv[3]);
        return 1;
    }
    std::fprintf(out, "// Generated from %s; do not edit.\n#include \"kx/imgui/EmbeddedFonts.h\"\n\nnamespace {\n",
                 argv[1]);
    std::fprintf(out, "alignas(4) const unsigned char packed[%u] = {", packedSize);
    for (stb_uint i = 0; i < packedSize; ++i) std::fprintf(out, "%s%u,", i % 24 == 0 ? "\n" : "", packed[i]);
    std::fprintf(out, "\n};\n}  // namespace\n\nnamespace kx::imgui {\n\n");
    std::fprintf(out,
                 "CompressedFont EmbeddedFonts::%s()\n{\n    return {packed, %u};\n}\n\n}  // namespace kx::imgui\n",
                 argv[2], packedSize);
    return std::fclose(out) == 0 ? 0 : 1;
}
