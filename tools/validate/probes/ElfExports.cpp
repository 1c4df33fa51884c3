#include "ElfExports.h"

#include <elf.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace tools::validate {

namespace {

template<typename T>
T readAt(const std::vector<char>& file, std::size_t offset)
{
    if (offset > file.size() || file.size() - offset < sizeof(T)) throw std::runtime_error("truncated ELF file");
    T value;
    std::memcpy(&value, file.data() + offset, sizeof(T));
    return value;
}

}  // namespace

std::vector<std::string> exportedSymbols(const std::string& path)
{
    std::ifstream stream(path, std::ios::binary);
    if (!stream) throw std::runtime_error("cannot read " + path);
    const std::vector<char> file((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());

    const auto header = readAt<Elf64_Ehdr>(file, 0);
    if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64) {
        throw std::runtime_error(path + " is not a 64-bit ELF file");
    }
    std::vector<std::string> names;
    for (unsigned s = 0; s < header.e_shnum; ++s) {
        const auto section = readAt<Elf64_Shdr>(file, header.e_shoff + std::size_t{s} * header.e_shentsize);
        if (section.sh_type != SHT_DYNSYM || section.sh_entsize == 0) continue;
        const auto strings =
            readAt<Elf64_Shdr>(file, header.e_shoff + std::size_t{section.sh_link} * header.e_shentsize);
        for (std::size_t i = 1; i < section.sh_size / section.sh_entsize; ++i) {
            const auto symbol = readAt<Elf64_Sym>(file, section.sh_offset + i * section.sh_entsize);
            const unsigned char binding = ELF64_ST_BIND(symbol.st_info);
            if (symbol.st_shndx == SHN_UNDEF || symbol.st_shndx == SHN_ABS) continue;
            if (binding != STB_GLOBAL && binding != STB_WEAK && binding != STB_GNU_UNIQUE) continue;
            const std::size_t at = strings.sh_offset + symbol.st_name;
            if (at >= file.size()) throw std::runtime_error("truncated ELF string table");
            names.emplace_back(file.data() + at, strnlen(file.data() + at, file.size() - at));
        }
    }
    return names;
}

}  // namespace tools::validate
