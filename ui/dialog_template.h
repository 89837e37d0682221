#pragma once
// Dialog templates as data: a caption, a size in dialog units and the controls, each with
// its kind, id, caption, place and initial state. Dialog::Create / DoModal build the
// window from a template; the program keeps its templates as constant tables.
//
// Captions are UTF-8. "&" before a letter marks the access key (shown underlined, Alt+key
// acts on the control), "&&" is a literal ampersand; "\n" breaks a static text's line.
//
// Dialog units: sizes scale with the dialog font as on Windows. The horizontal base unit is
// the font's average character width, the vertical one its character height, and
// x_px = x * baseX / 4, y_px = y * baseY / 8 (rounded). The font is DejaVu Sans 8 pt, which
// gives a compact window close to a Windows dialog in "MS Shell Dlg" 8 pt.

#include "ui/messages.h"

#include <QFont>
#include <QRect>
#include <QSize>

#include <span>
#include <string_view>

namespace ui {

enum class ControlKind {
    PushButton,
    DefPushButton,   // the button that Enter presses when no push button has the focus
    StaticText,
    GroupBox,
    Edit,
    ComboDropDown,   // list with an edit field: the user may type a text that is no item
    ComboDropList,   // list only
    CheckBox,
    ProgressBar,
};

// Control style bits; 0 is a visible, enabled control without tab stop, left-aligned.
namespace style {
inline constexpr unsigned kHidden = 0x0001;      // not WS_VISIBLE
inline constexpr unsigned kDisabled = 0x0002;    // WS_DISABLED
inline constexpr unsigned kTabStop = 0x0004;     // WS_TABSTOP: reached with Tab
inline constexpr unsigned kCenter = 0x0010;      // static text: centred lines (SS_CENTER)
inline constexpr unsigned kRight = 0x0020;       // static text: right-aligned lines (SS_RIGHT)
inline constexpr unsigned kUpperCase = 0x0040;   // edit and combo edit: text forced to upper case
inline constexpr unsigned kVScroll = 0x0080;     // combo list or edit with a vertical scroll bar
inline constexpr unsigned kBorder = 0x0100;      // WS_BORDER (progress bar, static)
inline constexpr unsigned kReadOnly = 0x0200;    // edit: ES_READONLY
inline constexpr unsigned kNumber = 0x0400;      // edit: digits only (ES_NUMBER)
} // namespace style

struct DialogUnitRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

struct ControlTemplate {
    ControlKind kind = ControlKind::StaticText;
    int id = IDC_STATIC;
    std::string_view caption;  // for an edit or combo: its initial text
    DialogUnitRect rect;       // for a combo the height includes the dropped list
    unsigned style = 0;
};

// Dialog style bits.
namespace dialog_style {
inline constexpr unsigned kCentered = 0x0001;     // DS_CENTER: centred on the screen when created
inline constexpr unsigned kMinimizeBox = 0x0002;  // WS_MINIMIZEBOX
inline constexpr unsigned kVisible = 0x0004;      // WS_VISIBLE: a modeless dialog shows itself on Create
} // namespace dialog_style

struct FontRequest {
    std::string_view family;  // empty: the layer's dialog font
    int pointSize = 0;        // 0: the layer's size
};

struct DialogTemplate {
    std::string_view caption;
    int width = 0;   // client area, dialog units
    int height = 0;
    unsigned style = dialog_style::kCentered;
    FontRequest font;
    std::span<const ControlTemplate> controls;
};

// The font a template asks for (the layer's dialog font when it names none).
QFont DialogFont(const FontRequest& requested = {});

// Base units of a font, in pixels: width = average character width, height = character height.
QSize DialogBaseUnits(const QFont& font);

// Dialog units to pixels for the given base units (rounded like Windows' MulDiv).
QRect MapDialogRect(const DialogUnitRect& rect, QSize baseUnits);
QSize MapDialogSize(int width, int height, QSize baseUnits);

} // namespace ui
