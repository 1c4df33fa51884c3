#pragma once
// A command line the tool cannot act on; reported with the usage hint.

#include <stdexcept>

namespace tools {

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace tools
