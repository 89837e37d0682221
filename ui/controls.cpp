#include "ui/controls.h"

#include "ui/window_registry.h"

#include <QAbstractButton>
#include <QApplication>
#include <QColor>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QProgressBar>
#include <QSignalBlocker>

#include <algorithm>

namespace ui {
namespace {

// QLineEdit's own limit, which stands for "no limit" here.
constexpr int kUnlimitedTextLength = 32767;

// Widget property of a line edit: its limit on typing, once LimitText has set one.
constexpr char kTypingLimitProperty[] = "jetvaneTypingLimit";

bool HasTypingLimit(const QLineEdit* edit)
{
    return edit->property(kTypingLimitProperty).isValid();
}

// Qt's length limit also cuts every text set: it is kept at the typing limit or the length
// of the text shown, whichever is more, so that a longer text stays whole and takes no more
// typing until it is shortened to the limit; such a text shows in crimson.
void FitLengthLimitToText(QLineEdit* edit)
{
    const int limit = edit->property(kTypingLimitProperty).toInt();
    const int length = static_cast<int>(edit->text().size());
    const int allowed = std::max(limit, length);
    if (edit->maxLength() > allowed) {
        // A new limit puts the cursor at the end of the text.
        const int cursor = edit->cursorPosition();
        edit->setMaxLength(allowed);
        edit->setCursorPosition(cursor);
    }
    const QPalette normal = QApplication::palette(edit);
    QPalette colours = edit->palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        // A disabled edit keeps the platform's grey.
        colours.setColor(group, QPalette::Text,
                         length > limit ? QColor(kInvalidTextRgb) : normal.color(group, QPalette::Text));
    }
    if (colours != edit->palette())
        edit->setPalette(colours);
}

void LimitTyping(QLineEdit* edit, int maxCharacters)
{
    if (!HasTypingLimit(edit))
        QObject::connect(edit, &QLineEdit::textChanged, edit, [edit] { FitLengthLimitToText(edit); });
    const int limit = maxCharacters > 0 ? maxCharacters : kUnlimitedTextLength;
    edit->setProperty(kTypingLimitProperty, limit);
    // The text already shown is kept, however long.
    edit->setMaxLength(std::max(limit, static_cast<int>(edit->text().size())));
    FitLengthLimitToText(edit);
}

bool IsUpperCase(const QWidget* widget)
{
    return widget->property(detail::kUpperCaseProperty).toBool();
}

QString AsTyped(const QWidget* widget, const QString& text)
{
    return IsUpperCase(widget) ? text.toUpper() : text;
}

} // namespace

namespace detail {

void SetComboTextAndSelection(QComboBox* combo, const QString& text)
{
    const int match = combo->findText(text, Qt::MatchFixedString);
    if (!combo->isEditable()) {
        if (match >= 0)
            combo->setCurrentIndex(match);
        return;
    }
    QLineEdit* edit = combo->lineEdit();
    const int cursor = edit->cursorPosition();
    const bool keepCursor = edit->hasFocus();
    combo->setCurrentIndex(match);
    SetLineEditText(edit, text);
    if (keepCursor)
        edit->setCursorPosition(std::min(cursor, static_cast<int>(text.size())));
}

void SetLineEditText(QLineEdit* edit, const QString& text)
{
    if (HasTypingLimit(edit) && text.size() > edit->maxLength())
        edit->setMaxLength(static_cast<int>(text.size()));
    edit->setText(text);
}

} // namespace detail

bool Control::IsWindow() const
{
    return !widget_.isNull() && ui::IsWindow(dialog_);
}

int Control::GetDlgCtrlID() const
{
    return IsWindow() ? widget_->property(detail::kControlIdProperty).toInt() : 0;
}

void Control::EnableWindow(bool enable) const
{
    if (IsWindow())
        detail::EnableControl(*widget_, enable);
}

bool Control::IsWindowEnabled() const
{
    return IsWindow() && widget_->isEnabled();
}

void Control::ShowWindow(bool show) const
{
    if (IsWindow())
        widget_->setVisible(show);
}

bool Control::IsWindowVisible() const
{
    return IsWindow() && !widget_->isHidden();
}

void Control::SetWindowText(const QString& text) const
{
    if (!IsWindow())
        return;
    QWidget* widget = widget_.data();
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        button->setText(text);
    else if (auto* label = qobject_cast<QLabel*>(widget))
        label->setText(text);
    else if (auto* group = qobject_cast<QGroupBox*>(widget))
        group->setTitle(text);
    else if (auto* edit = qobject_cast<QLineEdit*>(widget))
        detail::SetLineEditText(edit, AsTyped(widget, text));
    else if (auto* combo = qobject_cast<QComboBox*>(widget))
        detail::SetComboTextAndSelection(combo, AsTyped(widget, text));
    else
        widget->setWindowTitle(text);
}

QString Control::GetWindowText() const
{
    if (!IsWindow())
        return {};
    QWidget* widget = widget_.data();
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        return button->text();
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->text();
    if (auto* group = qobject_cast<QGroupBox*>(widget))
        return group->title();
    if (auto* edit = qobject_cast<QLineEdit*>(widget))
        return edit->text();
    if (auto* combo = qobject_cast<QComboBox*>(widget))
        return combo->currentText();
    return widget->windowTitle();
}

void Control::SetFocus() const
{
    if (IsWindow())
        widget_->setFocus(Qt::OtherFocusReason);
}

QRect Control::GetWindowRect() const
{
    if (!IsWindow())
        return {};
    return QRect(widget_->mapToGlobal(QPoint(0, 0)), widget_->size());
}

void Control::SetToolTip(const QString& text) const
{
    if (IsWindow())
        widget_->setToolTip(text);
}

void Button::SetCheck(bool checked) const
{
    if (auto* button = qobject_cast<QAbstractButton*>(Widget()))
        button->setChecked(checked);
}

bool Button::GetCheck() const
{
    auto* button = qobject_cast<QAbstractButton*>(Widget());
    return button != nullptr && button->isChecked();
}

void Button::Click() const
{
    if (auto* button = qobject_cast<QAbstractButton*>(Widget()))
        button->click();
}

void Edit::LimitText(int maxCharacters) const
{
    if (auto* edit = qobject_cast<QLineEdit*>(Widget()))
        LimitTyping(edit, maxCharacters);
}

void Edit::SetSel(int start, int end) const
{
    auto* edit = qobject_cast<QLineEdit*>(Widget());
    if (edit == nullptr)
        return;
    const int length = static_cast<int>(edit->text().size());
    const int to = end < 0 ? length : std::min(end, length);
    const int from = std::clamp(start, 0, to);
    edit->setSelection(from, to - from);
}

QComboBox* ComboBox::Combo() const
{
    return qobject_cast<QComboBox*>(Widget());
}

int ComboBox::AddString(const QString& text) const
{
    QComboBox* combo = Combo();
    if (combo == nullptr)
        return kError;
    // Adding to an empty editable combo must not select the item nor replace the typed text.
    const QString typed = combo->currentText();
    const int selected = combo->currentIndex();
    {
        const QSignalBlocker blocker(combo);
        combo->addItem(AsTyped(combo, text));
        if (combo->currentIndex() != selected) {
            combo->setCurrentIndex(selected);
            if (combo->isEditable())
                detail::SetLineEditText(combo->lineEdit(), typed);
        }
    }
    return combo->count() - 1;
}

void ComboBox::ResetContent() const
{
    if (QComboBox* combo = Combo()) {
        const QSignalBlocker blocker(combo);
        combo->clear();
        if (combo->isEditable())
            combo->clearEditText();
    }
}

int ComboBox::GetCount() const
{
    QComboBox* combo = Combo();
    return combo == nullptr ? 0 : combo->count();
}

int ComboBox::SetCurSel(int index) const
{
    QComboBox* combo = Combo();
    if (combo == nullptr)
        return kError;
    // An index outside the list clears the selection, as -1 does.
    const bool inList = index >= 0 && index < combo->count();
    const QSignalBlocker blocker(combo);
    combo->setCurrentIndex(inList ? index : -1);
    if (!inList && combo->isEditable())
        combo->clearEditText();
    return inList ? index : kError;
}

int ComboBox::GetCurSel() const
{
    QComboBox* combo = Combo();
    return combo == nullptr ? kError : combo->currentIndex();
}

QString ComboBox::GetLBText(int index) const
{
    QComboBox* combo = Combo();
    if (combo == nullptr || index < 0 || index >= combo->count())
        return {};
    return combo->itemText(index);
}

int ComboBox::FindStringExact(const QString& text) const
{
    QComboBox* combo = Combo();
    return combo == nullptr ? kError : combo->findText(text, Qt::MatchFixedString);
}

void ComboBox::LimitText(int maxCharacters) const
{
    QComboBox* combo = Combo();
    if (combo != nullptr && combo->isEditable())
        LimitTyping(combo->lineEdit(), maxCharacters);
}

QProgressBar* ProgressCtrl::Bar() const
{
    return qobject_cast<QProgressBar*>(Widget());
}

void ProgressCtrl::SetRange32(int lower, int upper) const
{
    if (QProgressBar* bar = Bar()) {
        const int position = GetPos();
        bar->setRange(lower, std::max(lower, upper));
        bar->setValue(std::clamp(position, bar->minimum(), bar->maximum()));
    }
}

int ProgressCtrl::SetPos(int position) const
{
    QProgressBar* bar = Bar();
    if (bar == nullptr)
        return 0;
    const int previous = GetPos();
    bar->setValue(std::clamp(position, bar->minimum(), bar->maximum()));
    return previous;
}

int ProgressCtrl::GetPos() const
{
    QProgressBar* bar = Bar();
    if (bar == nullptr)
        return 0;
    // A fresh QProgressBar reports minimum - 1 until it gets a value.
    return std::max(bar->value(), bar->minimum());
}

} // namespace ui
