#include "kx/standalone/MessageWindow.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <stdexcept>

#include "kx/standalone/TopLevelWindow.h"

namespace kx::standalone {

namespace {

constexpr std::size_t kColumns = 60;  // characters per line of the message
constexpr int kMargin = 16;           // pixels around the text and the button
constexpr int kButtonWidth = 80;
constexpr int kButtonPadding = 6;  // pixels between the button's label and its edge
constexpr unsigned long kBackground = 0xf2f2f2;
constexpr unsigned long kForeground = 0x202020;
constexpr unsigned long kButtonFace = 0xdcdcdc;
constexpr const char* kButtonLabel = "OK";

// The X server's built-in font is always there; the others are preferred where installed.
constexpr const char* kFonts[] = {"-*-dejavu sans-medium-r-normal--14-*-*-*-*-*-iso10646-1",
                                  "-*-helvetica-medium-r-normal--14-*-*-*-*-*-iso8859-1", "fixed"};

int textWidth(XFontStruct* font, const std::string& text)
{
    return XTextWidth(font, text.c_str(), static_cast<int>(text.size()));
}

// `text` broken at spaces into lines of at most `columns` characters (a longer word stays whole).
std::vector<std::string> wrapText(const std::string& text, std::size_t columns)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line;
        for (std::size_t word = start; word < end;) {
            std::size_t space = text.find(' ', word);
            if (space == std::string::npos || space > end) space = end;
            const std::string next = text.substr(word, space - word);
            if (!line.empty() && line.size() + 1 + next.size() > columns) {
                lines.push_back(line);
                line.clear();
            }
            line += (line.empty() ? "" : " ") + next;
            word = space + 1;
        }
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

}  // namespace

MessageWindow::MessageWindow(const std::string& title, const std::string& text, const std::string& instanceName,
                             const std::string& className)
    : lines(wrapText(text, kColumns))
{
    display = XOpenDisplay(nullptr);
    if (display == nullptr) throw std::runtime_error("cannot open the display");
    XFontStruct* metrics = nullptr;
    for (const char* name : kFonts)
        if (metrics == nullptr) metrics = XLoadQueryFont(display, name);
    if (metrics == nullptr) {
        XCloseDisplay(display);
        throw std::runtime_error("the display has no font");
    }
    font = metrics->fid;
    ascent = metrics->ascent;
    lineHeight = metrics->ascent + metrics->descent;
    int textWidthMax = 0;
    for (const std::string& line : lines) textWidthMax = std::max(textWidthMax, textWidth(metrics, line));
    const int labelWidth = textWidth(metrics, kButtonLabel);
    XFreeFontInfo(nullptr, metrics, 1);  // the font stays loaded; its measures are kept above

    const int buttonHeight = lineHeight + 2 * kButtonPadding;
    const int width = std::max(textWidthMax, kButtonWidth) + 2 * kMargin;
    const int height = static_cast<int>(lines.size()) * lineHeight + buttonHeight + 3 * kMargin;
    button = {width - kMargin - kButtonWidth, height - kMargin - buttonHeight, kButtonWidth, buttonHeight};
    labelX = button.x + (kButtonWidth - labelWidth) / 2;

    const TopLevelWindow created =
        createTopLevelWindow(display, width, height, kBackground, title, instanceName, className);
    window = created.window;
    deleteWindow = created.deleteWindow;
    XSelectInput(display, window, ExposureMask | KeyPressMask | ButtonPressMask);

    gc = XCreateGC(display, window, 0, nullptr);
    XSetFont(display, gc, font);
    XMapRaised(display, window);
    XFlush(display);
}

MessageWindow::~MessageWindow()
{
    XFreeGC(display, gc);
    XUnloadFont(display, font);
    XDestroyWindow(display, window);
    XCloseDisplay(display);
}

bool MessageWindow::poll()
{
    bool open = true;
    while (XPending(display) > 0) {
        XEvent event{};
        XNextEvent(display, &event);
        if (event.type == Expose && event.xexpose.count == 0) draw();
        if (event.type == ClientMessage && static_cast<Atom>(event.xclient.data.l[0]) == deleteWindow) open = false;
        if (event.type == ButtonPress && button.contains(event.xbutton.x, event.xbutton.y)) open = false;
        if (event.type == KeyPress) {
            const KeySym key = XLookupKeysym(&event.xkey, 0);
            if (key == XK_Return || key == XK_KP_Enter || key == XK_Escape) open = false;
        }
    }
    return open;
}

void MessageWindow::draw() const
{
    XSetForeground(display, gc, kForeground);
    for (std::size_t i = 0; i < lines.size(); ++i)
        XDrawString(display, window, gc, kMargin, kMargin + ascent + static_cast<int>(i) * lineHeight, lines[i].c_str(),
                    static_cast<int>(lines[i].size()));
    XSetForeground(display, gc, kButtonFace);
    XFillRectangle(display, window, gc, button.x, button.y, static_cast<unsigned>(button.width),
                   static_cast<unsigned>(button.height));
    XSetForeground(display, gc, kForeground);
    XDrawRectangle(display, window, gc, button.x, button.y, static_cast<unsigned>(button.width - 1),
                   static_cast<unsigned>(button.height - 1));
    const std::string label = kButtonLabel;
    XDrawString(display, window, gc, labelX, button.y + kButtonPadding + ascent, label.c_str(),
                static_cast<int>(label.size()));
    XFlush(display);
}

}  // namespace kx::standalone
