#pragma once
// The names a shared object exports: defined global and weak symbols of its
// dynamic symbol table, read from the file.

#include <string>
#include <vector>

namespace tools::validate {

// Throws std::runtime_error for files that are not 64-bit ELF shared objects.
std::vector<std::string> exportedSymbols(const std::string& path);

}  // namespace tools::validate
