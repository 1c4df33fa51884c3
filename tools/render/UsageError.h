#pragma once
// Options the tool cannot act on: a malformed value, an unknown option or parameter.
// The command line reports it with the usage hint.

#include <stdexcept>

namespace tools {

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace tools
