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

// Forms: dialogs whose controls Qt layouts arrange, for windows with many settings where
// the place of each control is ours to choose. A form is a grid of panes (framed or plain),
// each a grid of fields: a field is a control with an optional static text in front of it.
// Under the panes stands one row of push buttons.
struct FormField {
    ControlKind kind = ControlKind::StaticText;
    int id = IDC_STATIC;
    std::string_view caption;                 // a button's or check box's caption; an edit's text
    std::string_view label;                   // static text in front of the control; empty: none
    int labelId = IDC_STATIC;                 // the label's id, for code that shows or hides it
    unsigned style = 0;                       // kHidden and kDisabled apply to the label too
    std::span<const std::string_view> items;  // entries that the template puts into a combo
    int width = 0;                            // least width of the control in dialog units; 0: natural
};

struct GridCell {
    int row = 0;
    int column = 0;
    int rowSpan = 1;
    int columnSpan = 1;
};

struct FormPane {
    std::string_view title;   // the frame's title; empty: an untitled frame
    bool framed = true;       // false: the fields stand without a frame
    GridCell cell;            // the pane's place in the dialog's grid
    int fieldColumns = 1;     // fields side by side; they fill the pane row by row
    std::span<const FormField> fields;
};

struct FormLayout {
    std::span<const FormPane> panes;
    std::span<const FormField> buttons;  // push buttons in one row under the panes, in this order
};

struct DialogTemplate {
    std::string_view caption;
    int width = 0;   // client area, dialog units
    int height = 0;
    unsigned style = dialog_style::kCentered;
    FontRequest font;
    std::span<const ControlTemplate> controls;
    // When set, the controls come from the form instead, and the window takes the size its
    // layout needs (width and height are then unused).
    const FormLayout* form = nullptr;
};

// The font a template asks for (the layer's dialog font when it names none).
QFont DialogFont(const FontRequest& requested = {});

// Base units of a font, in pixels: width = average character width, height = character height.
QSize DialogBaseUnits(const QFont& font);

// Dialog units to pixels for the given base units (rounded like Windows' MulDiv).
QRect MapDialogRect(const DialogUnitRect& rect, QSize baseUnits);
QSize MapDialogSize(int width, int height, QSize baseUnits);

} // namespace ui
