// A component of a window described as data: one row of a layout table.
// Portable, so layouts can be checked without Windows.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace ui {

enum class TKind : std::uint8_t {
    Panel,        // a borderless area; a page when its parent is the form
    Label,        // static text
    Edit,         // one-line edit box
    Memo,         // multi-line text box
    Button,       // push button; "&" marks the access key
    ProgressBar,  // smooth progress bar
    Picture,      // a bitmap resource, drawn unscaled from the top-left corner
    Bevel,        // an etched (lowered) horizontal line
};

// Style flags of a row; which ones apply depends on the kind.
enum TStyle : std::uint16_t {
    sNone = 0,
    sWhite = 1 << 0,    // panel: white instead of the button face
    sWrap = 1 << 1,     // label: wraps at word boundaries within its width
    sBold = 1 << 2,     // label: bold
    sLarge = 1 << 3,    // label: 12 point bold
    sBlue = 1 << 4,     // label: pure blue text
    sLink = 1 << 5,     // label: blue, underlined, hand pointer, clickable
    sDefault = 1 << 6,  // button: the window's default button
};

struct TComponentRow {
    std::string_view Name;
    TKind Kind;
    std::string_view Parent;  // empty: the form itself
    int Left, Top;            // within the parent's client area
    int Width, Height;        // 0 x 0 for a label: sizes itself to one line
    std::string_view Text;    // caption or text; for a picture its resource name
    std::uint16_t Style = sNone;

    bool AutoSize() const { return Kind == TKind::Label && Width == 0 && Height == 0; }
};

// Rows come parents first; among siblings, in tab order. A component's
// control id is kFirstControlId plus its row index.
using TLayout = std::span<const TComponentRow>;
inline constexpr int kFirstControlId = 100;

}  // namespace ui
