#include "kx/ParameterMapper.h"

#include <fmt/format.h>

namespace kx {

float LinearMapper::map(float normalised) const { return (maximum - minimum) * normalised + minimum; }

std::string LinearMapper::toText(float normalised) const { return fmt::format("{0:0.2f}", map(normalised)); }

}  // namespace kx
