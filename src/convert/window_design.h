// The program's windows as data: each window's client size, caption and kind, and each
// control's name, kind, place, caption, font, colour, tab index and initial state, with the
// lines the designs draw. Every face (Qt, Win32) builds its windows from these tables alone,
// so a text, rectangle or colour is written once and the faces cannot drift apart.
//
// Units are the design's. Places and sizes are in twips (1440 to the inch, 15 to a pixel at
// 96 dpi), relative to the client area of the window or to the frame that contains the
// control; each face converts them for its screen (twipsToPixels). Colours are Windows values
// as designed: &H00BBGGRR&, or 0x80000000 plus a GetSysColor index for a system colour.
// Strings are UTF-8. The tables are built on first use and live as long as the program.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "store/version_pair.h"

namespace vkdc {

// Twips to pixels at `dpi`, rounded to the nearest pixel (halves away from zero).
constexpr int twipsToPixels(int twips, int dpi = 96) {
    const long long scaled = static_cast<long long>(twips) * dpi;
    return static_cast<int>(scaled >= 0 ? (scaled + 720) / 1440 : -((-scaled + 720) / 1440));
}

using Colour = uint32_t;
inline constexpr Colour kDefaultColour = 0xFFFFFFFF;    // the face's own colour for the control
inline constexpr Colour kSystemWindow = 0x80000005;     // COLOR_WINDOW: a page's background
inline constexpr Colour kSystemHighlight = 0x8000000D;  // COLOR_HIGHLIGHT

constexpr bool isSystemColour(Colour colour) {
    return colour != kDefaultColour && (colour & 0x80000000u) != 0;
}
// GetSysColor's index of a system colour.
constexpr int systemColourIndex(Colour colour) {
    return static_cast<int>(colour & 0xFF);
}
// The red, green and blue parts of a designed (not a system) colour.
constexpr int red(Colour bgr) {
    return static_cast<int>(bgr & 0xFF);
}
constexpr int green(Colour bgr) {
    return static_cast<int>((bgr >> 8) & 0xFF);
}
constexpr int blue(Colour bgr) {
    return static_cast<int>((bgr >> 16) & 0xFF);
}

// Every font of the designs is Tahoma with the Arabic character set, at one of these roles.
inline constexpr char kFontFace[] = "Tahoma";
inline constexpr int kFontCharset = 178;

enum class FontRole {
    kWindow,          // 8.25 pt: windows, and every control without a font of its own
    kFrame,           // 9 pt: the converter's step frames and path boxes
    kLauncherButton,  // 9.75 pt: the launcher's two buttons
    kGuideHeading,    // 8.25 pt bold and underlined: the guide's step headings
};

struct FontDesign {
    double points;
    bool bold;
    bool underline;
};

constexpr FontDesign fontOf(FontRole role) {
    switch (role) {
        case FontRole::kWindow:
            break;
        case FontRole::kFrame:
            return {9.0, false, false};
        case FontRole::kLauncherButton:
            return {9.75, false, false};
        case FontRole::kGuideHeading:
            return {8.25, true, true};
    }
    return {8.25, false, false};
}

enum class ControlKind {
    kButton,       // a command button; never a default button: Enter presses the focused one
    kTextBox,      // a one-line text box
    kLabel,        // static text
    kFrame,        // a group box, its caption on the top border line; holds other controls
    kPicture,      // `picture` shown at its own size at the top-left corner of `rect`
    kProgressBar,  // a horizontal bar with its percentage written on it
    kDataControl,  // no window of its own: stands for a data control, found by name
};

enum class Align { kLeft, kRight, kCentre };

struct Rect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

struct Point {
    int x = 0;
    int y = 0;
};

struct ControlDesign {
    std::string name;
    ControlKind kind = ControlKind::kLabel;
    std::string container;  // the frame holding the control; empty for the window itself
    Rect rect;              // twips, relative to the container
    std::string caption;    // of a button, label or frame
    std::string picture;    // of a picture: an installed file ("banner-vkdc12.png")
    FontRole font = FontRole::kWindow;
    Colour colour = kDefaultColour;  // text colour; a frame's caption colour
    int tabIndex = -1;               // place in the Tab sequence; -1: never takes the focus
    bool visible = true;
    bool enabled = true;
    Align align = Align::kLeft;  // of a label's text
    bool middle = false;         // a label's text centred in its height, not at its top
    // The control mirrors its layout: a frame's caption sits at its right end, a bar fills
    // from the right. Text boxes never do, so that a path reads in order, and labels read as
    // left-to-right paragraphs: the colon of ":فايل" is written first to show at the left.
    bool rightToLeft = false;
    std::string dataSource;  // a bound text box: the data control it shows a column of
    std::string dataField;   // ... and that column
};

// A straight line, horizontal or vertical, centred on the design line.
struct LineDesign {
    std::string name;
    Point from;  // twips
    Point to;
    int width = 1;  // pixels at 96 dpi
    Colour colour = 0x000000;
};

struct MenuItemDesign {
    std::string name;
    std::string caption;  // a top-level item without sub-items: a click runs it
};

enum class WindowKind {
    kMain,        // title bar with minimize and close buttons, in the task bar; closing it ends
                  // the program
    kDialog,      // modal over its owner (which takes no input meanwhile), close button only
    kToolDialog,  // as kDialog with a small title bar, and never in the task bar
};

struct WindowDesign {
    std::string name;  // "Main", "Guide", "VKDC12", "VKDC23"
    std::string caption;
    WindowKind kind = WindowKind::kDialog;
    int clientWidth = 0;  // twips; the window is centred on the screen and cannot be resized
    int clientHeight = 0;
    Colour background = kDefaultColour;  // of the client area
    std::string picture;         // drawn unscaled at the client area's top-left corner, or none
    std::vector<int> iconSizes;  // pixels of the installed icon images, "vkdc-16.png" ...
    std::vector<MenuItemDesign> menu;
    // In the order they are made: a later control lies over an earlier one where they meet.
    std::vector<ControlDesign> controls;
    std::vector<LineDesign> lines;
};

const WindowDesign& launcherDesign();
const WindowDesign& guideDesign();
const WindowDesign& converterDesign(PairId pair);

// The control of that name, or nullptr.
const ControlDesign* findControl(const WindowDesign& window, std::string_view name);

// Buttons and text boxes with a tab index, in Tab order. (A label's index only keeps its
// place in the design; labels, frames and pictures never take the focus.)
std::vector<const ControlDesign*> tabOrder(const WindowDesign& window);

}  // namespace vkdc
