#pragma once
// A one-line progress bar redrawn in place on a terminal; silent otherwise.

#include <cstdio>

namespace tools {

class ProgressBar {
public:
    // Draws on `stream` only when it is a terminal and `enabled` is true.
    ProgressBar(std::FILE* stream, bool enabled);
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    void update(double fraction);
    // Clears the line so that later output starts clean.
    void finish();

private:
    std::FILE* stream;
    bool active;
    int shownPercent = -1;
};

}  // namespace tools
