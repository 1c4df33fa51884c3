#pragma once
// The effect editor's palette slots as 8-bit pixels, for the tests that read its screenshots.

namespace editortest {

struct Rgb {
    int r;
    int g;
    int b;
};

namespace palette {

constexpr Rgb kHeaderStrip{68, 68, 68};
constexpr Rgb kBackground{228, 228, 228};
constexpr Rgb kPanel{218, 213, 213};
constexpr Rgb kText{108, 108, 108};
constexpr Rgb kTextLight{196, 196, 196};
constexpr Rgb kGreen{81, 239, 163};
constexpr Rgb kAmber{243, 217, 122};
constexpr Rgb kLightBlue{149, 233, 252};
constexpr Rgb kLightGrey{232, 232, 232};
constexpr Rgb kScopeFrame{38, 38, 38};

}  // namespace palette

}  // namespace editortest
