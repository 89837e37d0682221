#include "ui/dialog.h"

#include "ui/text.h"
#include "ui/window_registry.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QEventLoop>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QSignalBlocker>
#include <QToolTip>
#include <QHelpEvent>
#include <QFontMetrics>
#include <QValidator>

#include <algorithm>

namespace ui {

QPoint KeepOnScreenPosition(const QRect& client, const QMargins& frame, const QRect& available)
{
    const QRect outer = client.marginsAdded(frame);
    const int left =
        std::clamp(outer.left(), available.left(), std::max(available.left(), available.right() + 1 - outer.width()));
    const int top =
        std::clamp(outer.top(), available.top(), std::max(available.top(), available.bottom() + 1 - outer.height()));
    return QPoint(left + frame.left(), top + frame.top());
}

namespace detail {
namespace {

// CBS_UPPERCASE / ES_UPPERCASE: what is typed or pasted is shown in upper case at once.
class UpperCaseValidator final : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override
    {
        input = input.toUpper();
        return Acceptable;
    }
};

// A tip as a Windows tool tip with a maximum width shows it: its own line breaks, and
// lines wider than the maximum wrapped at blanks.
QString FormatToolTip(QString text, const QFont& font)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const QFontMetrics metrics(font);
    int widest = 0;
    for (const QString& line : text.split(QLatin1Char('\n')))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    if (widest <= Dialog::kToolTipMaxWidth)
        return text;
    QString html = text.toHtmlEscaped();
    html.replace(QLatin1Char('\n'), QStringLiteral("<br>"));
    return QStringLiteral("<table width=\"%1\"><tr><td>%2</td></tr></table>").arg(Dialog::kToolTipMaxWidth).arg(html);
}

bool IsEnterKey(int key)
{
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

} // namespace

// Where a window's client area goes when it is put at topLeft: there, or as near as keeps
// all of the window, frame included, on that screen. Only client positions are read and
// set: a window manager tells the frame only while a window is shown, and mixing the two
// moves a window by its frame each time it is placed.
QPoint OnScreenPosition(const QWidget& window, QPoint topLeft)
{
    const QScreen* screen = QGuiApplication::screenAt(topLeft);
    if (screen == nullptr)
        screen = window.screen();
    if (screen == nullptr)
        return topLeft;
    const QRect frame = window.frameGeometry();
    const QRect client = window.geometry();
    const QMargins margins(client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
                           frame.bottom() - client.bottom());
    return KeepOnScreenPosition(QRect(topLeft, client.size()), margins, screen->availableGeometry());
}

void PlaceWindow(QWidget& window, QPoint topLeft)
{
    window.setGeometry(QRect(OnScreenPosition(window, topLeft), window.size()));
}

// A window that its owner left where it stands is moved only when part of it is off the screen.
void KeepOnScreen(QWidget& window)
{
    const QPoint placed = OnScreenPosition(window, window.geometry().topLeft());
    if (placed != window.geometry().topLeft())
        window.setGeometry(QRect(placed, window.size()));
}

// The Qt window of a Dialog. It forwards the keyboard's dialog keys, the close box and the
// window's messages to its owner, and outlives it when the owner destroys it from a handler.
class DialogWindow final : public QDialog, public MessageTarget {
public:
    DialogWindow(Dialog* owner, QWidget* parent) : QDialog(parent), owner_(owner) {}

    ~DialogWindow() override
    {
        if (owner_ != nullptr)
            owner_->WindowGone();
    }

    void Detach() { owner_ = nullptr; }
    Dialog* Owner() const { return owner_; }

    LResult DispatchWindowMessage(unsigned id, WParam wParam, LParam lParam) override
    {
        return owner_ == nullptr ? 0 : owner_->DispatchWindowMessage(id, wParam, lParam);
    }

    // Enter and Escape reach the dialog before the control that has the focus, as they do
    // the Windows dialog manager (a combo's edit field would otherwise keep them).
    void WatchKeys(QWidget* control)
    {
        control->installEventFilter(this);
        for (QWidget* part : control->findChildren<QWidget*>())
            part->installEventFilter(this);
    }

    // Qt takes the keyboard focus from a control that is disabled and gives it to the next
    // control that takes it, Cancel or Exit as often as not, where it stays once the control
    // is enabled again: after a file dialog or a message box that a button asked while the
    // buttons were disabled, Enter would press Cancel. The Windows dialog manager leaves the
    // focus where it was. So the window remembers the control that lost the focus and where
    // Qt put it, and gives the focus back when that control is enabled again, unless it has
    // been put elsewhere meanwhile, by the program or the user. A window that is hidden or
    // inactive only learns which control is to have the focus when it is next activated.
    void EnableControl(QWidget& control, bool enable)
    {
        QWidget* focus = focusWidget();
        const bool losesFocus =
            !enable && control.isEnabled() && focus != nullptr && (focus == &control || control.isAncestorOf(focus));
        // Disabling a row of buttons passes the focus along the row; the first keeps its claim.
        const bool passedOn = !focusOwner_.isNull() && !focusOwner_->isEnabled() && focus == focusStandIn_;
        control.setEnabled(enable);
        if (losesFocus) {
            if (!passedOn)
                focusOwner_ = focus;
            focusStandIn_ = focusWidget();
            return;
        }
        QWidget* owner = focusOwner_.data();
        if (!enable || owner == nullptr || (owner != &control && !control.isAncestorOf(owner)) || !owner->isEnabled())
            return;
        if (focusWidget() == focusStandIn_.data())
            owner->setFocus(Qt::OtherFocusReason);
        focusOwner_.clear();
        focusStandIn_.clear();
    }

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == PostedMessageEvent::EventType()) {
            DeliverPostedMessage(static_cast<PostedMessageEvent&>(*event), *this);
            return true;
        }
        if (event->type() == QEvent::WindowActivate)
            NoteActivated(this);
        return QDialog::event(event);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // A combo's dropped list is a window of its own: its Enter and Escape are the list's.
        const auto* widget = qobject_cast<QWidget*>(watched);
        if (widget == nullptr || widget->window() != this)
            return QDialog::eventFilter(watched, event);
        if (event->type() == QEvent::KeyPress && HandleDialogKey(static_cast<QKeyEvent&>(*event)))
            return true;
        if (event->type() == QEvent::Shortcut)
            FocusButtonPressedByAccessKey(qobject_cast<QAbstractButton*>(watched));
        if (event->type() == QEvent::ToolTip && ShowToolTip(*widget, static_cast<QHelpEvent&>(*event)))
            return true;
        return QDialog::eventFilter(watched, event);
    }

    void keyPressEvent(QKeyEvent* event) override
    {
        if (!HandleDialogKey(*event))
            QWidget::keyPressEvent(event);
    }

    // A window takes its final size when it is shown; only then can it be kept on the screen.
    void showEvent(QShowEvent* event) override
    {
        QDialog::showEvent(event);
        KeepOnScreen(*this);
    }

    void closeEvent(QCloseEvent* event) override
    {
        event->ignore();
        DispatchWindowMessage(WM_CLOSE, 0, 0);
    }

    void reject() override { DispatchWindowMessage(WM_COMMAND, MakeCommandWParam(IDCANCEL, BN_CLICKED), 0); }

private:
    // Qt presses a button by its access key without moving the focus; the Windows dialog
    // manager clicks it, which gives it the focus. Without the focus, Enter after the file
    // dialog or message box that the button asked would press the default button (Update
    // All Configs) or end the program from the port box, instead of asking again.
    static void FocusButtonPressedByAccessKey(QAbstractButton* button)
    {
        if (button != nullptr && button->isEnabled() && button->focusPolicy() != Qt::NoFocus)
            button->setFocus(Qt::ShortcutFocusReason);
    }

    // The tip of the control under the mouse, when the dialog serves it.
    bool ShowToolTip(const QWidget& widget, const QHelpEvent& help)
    {
        if (owner_ == nullptr || !owner_->ToolTipsEnabled())
            return false;
        // A combo's edit field or list is part of the control that carries the id.
        const QWidget* control = &widget;
        while (control != nullptr && !control->property(kControlIdProperty).isValid())
            control = control->parentWidget();
        if (control == nullptr || control == this)
            return false;
        QString text;
        if (!owner_->OnToolTipNotify(control->property(kControlIdProperty).toInt(), &text))
            return false;
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help.globalPos(), FormatToolTip(text, QToolTip::font()), const_cast<QWidget*>(&widget));
        return true;
    }

    bool HandleDialogKey(const QKeyEvent& key)
    {
        const Qt::KeyboardModifiers modifiers = key.modifiers() & ~Qt::KeypadModifier;
        if (owner_ == nullptr || modifiers != Qt::NoModifier)
            return false;
        if (key.key() == Qt::Key_Escape) {
            DispatchWindowMessage(WM_COMMAND, MakeCommandWParam(IDCANCEL, BN_CLICKED), 0);
            return true;
        }
        if (IsEnterKey(key.key())) {
            owner_->OnEnterKey();
            return true;
        }
        return false;
    }

    Dialog* owner_;
    QPointer<QWidget> focusOwner_;   // had the focus when it was disabled
    QPointer<QWidget> focusStandIn_; // where Qt put the focus then (nullptr: nowhere)
};

void EnableControl(QWidget& control, bool enable)
{
    // dynamic_cast: DialogWindow has no meta-object of its own.
    if (auto* window = dynamic_cast<DialogWindow*>(control.window()))
        window->EnableControl(control, enable);
    else
        control.setEnabled(enable);
}

} // namespace detail

namespace {

// Focus policies: a tab stop is reached with Tab and by clicking, other input controls by
// clicking only, texts and frames never.
Qt::FocusPolicy FocusPolicyOf(const ControlTemplate& control)
{
    if (control.kind == ControlKind::StaticText || control.kind == ControlKind::GroupBox ||
        control.kind == ControlKind::ProgressBar)
        return Qt::NoFocus;
    return (control.style & style::kTabStop) != 0 ? Qt::StrongFocus : Qt::ClickFocus;
}

// A combo with an edit field takes what is typed as text only: no new items, no completion.
// Also for a program's own combo class.
void MakeDropDown(QComboBox& combo, const ControlTemplate& control)
{
    combo.setEditable(true);
    combo.setInsertPolicy(QComboBox::NoInsert);
    combo.setCompleter(nullptr);
    if ((control.style & style::kUpperCase) != 0)
        combo.setValidator(new detail::UpperCaseValidator(&combo));
    combo.setEditText(ui::Text(control.caption));
}

QWidget* BuildStandardControl(const ControlTemplate& control, QWidget* parent)
{
    const QString caption = ui::Text(control.caption);
    switch (control.kind) {
    case ControlKind::PushButton:
    case ControlKind::DefPushButton: {
        auto* button = new QPushButton(caption, parent);
        button->setAutoDefault(false);
        button->setDefault(control.kind == ControlKind::DefPushButton);
        return button;
    }
    case ControlKind::StaticText: {
        auto* label = new QLabel(caption, parent);
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(true);
        Qt::Alignment horizontal = Qt::AlignLeft;
        if ((control.style & style::kCenter) != 0)
            horizontal = Qt::AlignHCenter;
        else if ((control.style & style::kRight) != 0)
            horizontal = Qt::AlignRight;
        label->setAlignment(horizontal | Qt::AlignTop);
        if ((control.style & style::kBorder) != 0)
            label->setFrameShape(QFrame::Box);
        return label;
    }
    case ControlKind::GroupBox:
        return new QGroupBox(caption, parent);
    case ControlKind::Edit: {
        auto* edit = new QLineEdit(caption, parent);
        edit->setReadOnly((control.style & style::kReadOnly) != 0);
        if ((control.style & style::kNumber) != 0)
            edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
        else if ((control.style & style::kUpperCase) != 0)
            edit->setValidator(new detail::UpperCaseValidator(edit));
        return edit;
    }
    case ControlKind::ComboDropDown:
    case ControlKind::ComboDropList:
        return new QComboBox(parent);
    case ControlKind::CheckBox:
        return new QCheckBox(caption, parent);
    case ControlKind::ProgressBar: {
        auto* bar = new QProgressBar(parent);
        bar->setTextVisible(false);
        bar->setRange(0, 100); // the Windows default range
        bar->setValue(0);
        return bar;
    }
    }
    return nullptr;
}

// A combo's template height includes its dropped list: the closed box takes its natural
// height and the rest of the height decides how many items the list shows.
void PlaceCombo(QComboBox& combo, QRect rect)
{
    const int boxHeight = combo.sizeHint().height();
    combo.setGeometry(rect.x(), rect.y(), rect.width(), boxHeight);
    const int itemHeight = std::max(1, combo.fontMetrics().height());
    combo.setMaxVisibleItems(std::max(1, (rect.height() - boxHeight) / itemHeight));
}

} // namespace

Dialog::Dialog(const DialogTemplate& dialogTemplate, Dialog* parent) : template_(dialogTemplate), parent_(parent) {}

Dialog::~Dialog()
{
    DestroyWindow();
}

bool Dialog::Create(Dialog* parent)
{
    return Create(template_, parent != nullptr ? parent : parent_);
}

bool Dialog::Create(const DialogTemplate& dialogTemplate, Dialog* parent)
{
    if (!CreateWindow(dialogTemplate, parent))
        return false;
    OnInitDialog();
    if (window_ != nullptr && (template_.style & dialog_style::kVisible) != 0)
        window_->show();
    return true;
}

int Dialog::DoModal()
{
    if (!CreateWindow(template_, parent_))
        return -1;
    modalResult_ = -1;
    modalEnded_ = false;
    bool endedByQuit = false;
    // Our own loop rather than QDialog::exec, which ends when the window is hidden: a modal
    // dialog hides itself while a child dialog stands in for it, and its run goes on.
    QEventLoop loop;
    {
        detail::ModalLoopScope scope(&loop);
        OnInitDialog();
        // A quit request taken while OnInitDialog ran (or made before) ends the loop at once.
        if (detail::TakePendingQuit() || scope.EndedByQuit()) {
            endedByQuit = true;
        } else if (window_ != nullptr && !modalEnded_) {
            window_->setWindowModality(parent_ != nullptr ? Qt::WindowModal : Qt::ApplicationModal);
            window_->show();
            modalLoop_ = &loop;
            loop.exec(QEventLoop::DialogExec);
            modalLoop_ = nullptr;
        }
        endedByQuit = endedByQuit || scope.EndedByQuit();
    }
    DestroyWindow();
    return endedByQuit ? kModalEndedByQuit : modalResult_;
}

bool Dialog::CreateWindow(const DialogTemplate& dialogTemplate, Dialog* parent)
{
    if (window_ != nullptr)
        return false;
    template_ = dialogTemplate;
    parent_ = parent;
    parentHandle_ = parent != nullptr ? parent->GetSafeHwnd() : platform::kNoWindow;
    QWidget* parentWindow = parent != nullptr ? parent->Window() : nullptr;
    window_ = new detail::DialogWindow(this, parentWindow);
    Qt::WindowFlags flags = Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if ((template_.style & dialog_style::kMinimizeBox) != 0)
        flags |= Qt::WindowMinimizeButtonHint;
    window_->setWindowFlags(flags);
    window_->setWindowTitle(ui::Text(template_.caption));
    window_->setFont(DialogFont(template_.font));
    handle_ = detail::RegisterWindow(window_, window_);
    BuildControls(template_);
    if ((template_.style & dialog_style::kCentered) != 0) {
        const QScreen* screen = parentWindow != nullptr ? parentWindow->screen() : QGuiApplication::primaryScreen();
        if (screen != nullptr) {
            ActivateLayout();
            QRect client(QPoint(0, 0), window_->size());
            client.moveCenter(screen->availableGeometry().center());
            detail::PlaceWindow(*window_, client.topLeft());
        }
    }
    return true;
}

void Dialog::BuildControls(const DialogTemplate& dialogTemplate)
{
    controls_.clear();
    defaultButtonId_ = IDC_STATIC;
    const QSize baseUnits = DialogBaseUnits(window_->font());
    if (dialogTemplate.form != nullptr) {
        BuildForm(*dialogTemplate.form, baseUnits);
        return;
    }
    window_->setFixedSize(MapDialogSize(dialogTemplate.width, dialogTemplate.height, baseUnits));
    std::vector<std::pair<QLabel*, size_t>> labels;
    std::vector<QWidget*> built;
    for (const ControlTemplate& control : dialogTemplate.controls) {
        QWidget* widget = BuildControl(control, window_);
        built.push_back(widget);
        if (widget == nullptr)
            continue;
        const QRect rect = MapDialogRect(control.rect, baseUnits);
        if (auto* combo = qobject_cast<QComboBox*>(widget))
            PlaceCombo(*combo, rect);
        else
            widget->setGeometry(rect);
        if (auto* label = qobject_cast<QLabel*>(widget))
            labels.emplace_back(label, built.size() - 1);
    }
    // A static text's access key moves the focus to the next control that can take it.
    for (const auto& [label, index] : labels) {
        for (size_t next = index + 1; next < built.size(); ++next) {
            if (built[next] != nullptr && built[next]->focusPolicy() != Qt::NoFocus) {
                label->setBuddy(built[next]);
                break;
            }
        }
    }
}

void Dialog::BuildForm(const FormLayout& form, QSize baseUnits)
{
    auto* grid = new QGridLayout(window_);
    // The window takes the size its layout asks for, also when code hides or shows fields.
    grid->setSizeConstraint(QLayout::SetFixedSize);
    int lastRow = 0;
    int lastColumn = 0;
    for (const FormPane& pane : form.panes) {
        QWidget* box = pane.framed ? new QGroupBox(ui::Text(pane.title), window_) : new QWidget(window_);
        auto* fields = new QGridLayout(box);
        if (!pane.framed)
            fields->setContentsMargins(0, 0, 0, 0);
        const int columns = std::max(1, pane.fieldColumns);
        int index = 0;
        for (const FormField& field : pane.fields) {
            const int row = index / columns;
            const int column = (index % columns) * 2;
            ++index;
            QWidget* widget = BuildFormField(field, box, baseUnits);
            if (widget == nullptr)
                continue;
            if (field.label.empty()) {
                fields->addWidget(widget, row, column, 1, 2);
                continue;
            }
            const ControlTemplate labelTemplate{ControlKind::StaticText, field.labelId, field.label, {},
                                                field.style & (style::kHidden | style::kDisabled)};
            auto* label = qobject_cast<QLabel*>(BuildControl(labelTemplate, box));
            label->setWordWrap(false);
            label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            label->setBuddy(widget);
            fields->addWidget(label, row, column);
            fields->addWidget(widget, row, column + 1);
        }
        // Spare room goes below the fields, so that they stay together at the top.
        fields->setRowStretch((index + columns - 1) / columns, 1);
        grid->addWidget(box, pane.cell.row, pane.cell.column, pane.cell.rowSpan, pane.cell.columnSpan);
        lastRow = std::max(lastRow, pane.cell.row + pane.cell.rowSpan);
        lastColumn = std::max(lastColumn, pane.cell.column + pane.cell.columnSpan);
    }
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (const FormField& field : form.buttons) {
        if (QWidget* widget = BuildFormField(field, window_, baseUnits))
            buttons->addWidget(widget);
    }
    grid->addLayout(buttons, lastRow, 0, 1, std::max(1, lastColumn));
}

QWidget* Dialog::BuildFormField(const FormField& field, QWidget* parent, QSize baseUnits)
{
    const ControlTemplate control{field.kind, field.id, field.caption, {}, field.style};
    QWidget* widget = BuildControl(control, parent);
    if (widget == nullptr)
        return nullptr;
    if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        const QSignalBlocker blocker(combo);
        for (const std::string_view item : field.items)
            combo->addItem(ui::Text(item));
        // A list that the template fills starts without a selection, as a Windows combo does.
        combo->setCurrentIndex(-1);
        combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    }
    if (field.width > 0)
        widget->setMinimumWidth(MapDialogSize(field.width, 0, baseUnits).width());
    return widget;
}

QWidget* Dialog::CreateCustomControl(const ControlTemplate&, QWidget*)
{
    return nullptr;
}

// One control with its id, initial states and notifications; the caller places it.
QWidget* Dialog::BuildControl(const ControlTemplate& control, QWidget* parent)
{
    QWidget* widget = CreateCustomControl(control, parent);
    if (widget == nullptr)
        widget = BuildStandardControl(control, parent);
    if (widget == nullptr)
        return nullptr;
    widget->setParent(parent);
    if (auto* combo = qobject_cast<QComboBox*>(widget); combo != nullptr && control.kind == ControlKind::ComboDropDown)
        MakeDropDown(*combo, control);
    widget->setProperty(detail::kControlIdProperty, control.id);
    widget->setProperty(detail::kUpperCaseProperty, (control.style & style::kUpperCase) != 0);
    widget->setFocusPolicy(FocusPolicyOf(control));
    widget->setVisible((control.style & style::kHidden) == 0);
    widget->setEnabled((control.style & style::kDisabled) == 0);
    if (control.id != IDC_STATIC && !controls_.contains(control.id))
        controls_[control.id] = widget;
    if (control.kind == ControlKind::DefPushButton && defaultButtonId_ == IDC_STATIC)
        defaultButtonId_ = control.id;
    window_->WatchKeys(widget);
    ConnectNotifications(widget, control.id);
    return widget;
}

void Dialog::ConnectNotifications(QWidget* widget, int controlId)
{
    detail::DialogWindow* window = window_;
    // Handlers reach the dialog through its window, so that a notification that arrives
    // after the dialog was destroyed (or detached) finds no owner and is dropped.
    const auto notify = [window, controlId](unsigned code) {
        window->DispatchWindowMessage(WM_COMMAND, MakeCommandWParam(controlId, code), 0);
    };
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        QObject::connect(button, &QAbstractButton::clicked, window, [notify] { notify(BN_CLICKED); });
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        QObject::connect(combo, &QComboBox::activated, window, [notify] { notify(CBN_SELCHANGE); });
        if (combo->isEditable()) {
            QObject::connect(combo->lineEdit(), &QLineEdit::textEdited, window, [combo, notify](const QString& text) {
                detail::SetComboTextAndSelection(combo, text);
                notify(CBN_EDITCHANGE);
            });
        }
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        QObject::connect(edit, &QLineEdit::textChanged, window, [notify] { notify(EN_CHANGE); });
    }
}

QWidget* Dialog::ItemWidget(int controlId) const
{
    if (window_ == nullptr)
        return nullptr;
    const auto found = controls_.find(controlId);
    return found == controls_.end() ? nullptr : found->second;
}

Control Dialog::GetDlgItem(int controlId) const
{
    return Control(ItemWidget(controlId), handle_);
}

int Dialog::GetFocusedDlgItem() const
{
    if (window_ == nullptr)
        return 0;
    QWidget* focus = window_->focusWidget();
    for (const auto& [id, widget] : controls_) {
        if (focus != nullptr && (focus == widget || widget->isAncestorOf(focus)))
            return id;
    }
    return 0;
}

void Dialog::EndDialog(int result)
{
    modalResult_ = result;
    modalEnded_ = true;
    if (window_ == nullptr)
        return;
    if (modalLoop_ != nullptr)
        modalLoop_->exit();
    window_->hide();
}

bool Dialog::DestroyWindow()
{
    if (window_ == nullptr)
        return false;
    detail::DialogWindow* window = window_;
    // Owned windows go with their owner, as on Windows.
    // (dynamic_cast: DialogWindow has no meta-object of its own, so qobject_cast would take
    // any QDialog, a message box parented to this window for one.)
    const QObjectList children = window->children();
    for (QObject* object : children) {
        auto* child = dynamic_cast<detail::DialogWindow*>(object);
        if (child != nullptr && child->Owner() != nullptr)
            child->Owner()->DestroyWindow();
    }
    detail::UnregisterWindow(handle_);
    handle_ = platform::kNoWindow;
    window_ = nullptr;
    controls_.clear();
    window->Detach();
    if (modalLoop_ != nullptr)
        modalLoop_->exit();
    window->hide();
    window->deleteLater();
    return true;
}

void Dialog::WindowGone()
{
    detail::UnregisterWindow(handle_);
    handle_ = platform::kNoWindow;
    window_ = nullptr;
    controls_.clear();
}

WindowHandle Dialog::GetParentHandle() const
{
    return parentHandle_;
}

QWidget* Dialog::Window() const
{
    return window_;
}

bool Dialog::OnInitDialog()
{
    return true;
}

bool Dialog::OnToolTipNotify(int, QString*)
{
    return false;
}

void Dialog::OnOK()
{
    EndDialog(IDOK);
}

void Dialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

void Dialog::SetWindowText(const QString& caption)
{
    if (window_ != nullptr)
        window_->setWindowTitle(caption);
}

QString Dialog::GetWindowText() const
{
    return window_ != nullptr ? window_->windowTitle() : QString();
}

QRect Dialog::GetWindowRect() const
{
    return window_ != nullptr ? window_->frameGeometry() : QRect();
}

QPoint Dialog::GetWindowPosition() const
{
    return window_ != nullptr ? window_->geometry().topLeft() : QPoint();
}

void Dialog::MoveWindowTo(QPoint topLeft)
{
    if (window_ == nullptr)
        return;
    // Kept on the screen at the size the window will be shown with.
    ActivateLayout();
    detail::PlaceWindow(*window_, topLeft);
}

void Dialog::ActivateLayout()
{
    if (QLayout* layout = window_ != nullptr ? window_->layout() : nullptr)
        layout->activate();
}

void Dialog::BringWindowToTop()
{
    if (window_ != nullptr) {
        window_->raise();
        window_->activateWindow();
    }
}

void Dialog::ShowWindow(bool show)
{
    if (window_ != nullptr)
        window_->setVisible(show);
}

bool Dialog::IsWindowVisible() const
{
    return window_ != nullptr && window_->isVisible();
}

void Dialog::SetIcon(const QIcon& icon)
{
    if (window_ != nullptr)
        window_->setWindowIcon(icon);
}

LResult Dialog::SendMessage(unsigned id, WParam wParam, LParam lParam)
{
    return ui::SendMessage(handle_, id, wParam, lParam);
}

bool Dialog::PostMessage(unsigned id, WParam wParam, LParam lParam) const
{
    return ui::PostMessage(handle_, id, wParam, lParam);
}

LResult Dialog::NotifyParent(unsigned id, WParam wParam, LParam lParam)
{
    ++notifying_;
    const LResult result = ui::SendMessage(parentHandle_, id, wParam, lParam);
    --notifying_;
    return result;
}

LResult Dialog::DispatchWindowMessage(unsigned id, WParam wParam, LParam lParam)
{
    if (IsClosing())
        return 0;
    const auto mapped = messages_.find(id);
    if (mapped != messages_.end())
        return mapped->second(wParam, lParam);
    switch (id) {
    case WM_COMMAND:
        OnCommand(CommandControlId(wParam), CommandNotificationCode(wParam));
        return 0;
    case WM_CLOSE:
        OnCommand(IDCANCEL, BN_CLICKED);
        return 0;
    case WM_NEXTDLGCTL:
        if (lParam != 0)
            GotoDlgCtrl(static_cast<int>(wParam));
        return 0;
    default:
        return 0;
    }
}

void Dialog::OnCommand(int controlId, unsigned notificationCode)
{
    const auto mapped = commands_.find({controlId, notificationCode});
    if (mapped != commands_.end()) {
        mapped->second();
        return;
    }
    if (notificationCode != BN_CLICKED)
        return;
    if (controlId == IDOK)
        OnOK();
    else if (controlId == IDCANCEL)
        OnCancel();
}

void Dialog::OnEnterKey()
{
    if (window_ == nullptr)
        return;
    if (auto* focused = qobject_cast<QPushButton*>(window_->focusWidget()); focused != nullptr && focused->isEnabled()) {
        focused->click();
        return;
    }
    if (defaultButtonId_ != IDC_STATIC) {
        const Button defaultButton = GetButton(defaultButtonId_);
        if (defaultButton.IsWindowEnabled() && defaultButton.IsWindowVisible())
            defaultButton.Click();
        return;
    }
    // A modeless dialog has no OK to end with: EndDialog would only hide it, and its owner,
    // never told, would wait on with no window on the screen.
    if (modalLoop_ != nullptr)
        OnCommand(IDOK, BN_CLICKED);
}

void DeleteDestroyedWindows()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace ui
