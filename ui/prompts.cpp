#include "ui/prompts.h"

#include "ui/program_name.h"
#include "ui/window_registry.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSpacerItem>

#include <algorithm>
#include <atomic>

namespace ui {
namespace {

constexpr unsigned kButtonsMask = 0x0F;
constexpr unsigned kIconMask = 0xF0;
constexpr unsigned kDefaultButtonMask = 0xF00;
constexpr QChar kFilterSeparator = u'|';
constexpr QChar kPatternSeparator = u';';
// The object name of the "Files of type" box inside Qt's own file dialog.
constexpr char kFileTypeBoxName[] = "fileTypeCombo";
// The titles the platform's own file dialogs have when the program names none.
constexpr char kOpenDialogTitle[] = "Open";
constexpr char kSaveDialogTitle[] = "Save As";
// The font Qt gives title bars, which window managers draw in bold.
constexpr char kTitleBarFontClass[] = "QMdiSubWindowTitleBar";
// A message box is a dialog of its window: a title, a close button and no more. A window
// manager may still draw its own (openbox gives every dialog an icon, minimise, maximise
// and close), so the title is given room beside that many.
constexpr Qt::WindowFlags kMessageBoxFlags =
    Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
constexpr int kTitleBarButtons = 4;
// A title bar's button, with its spacing, as wide as twice the title's line height: window
// managers size their buttons by the title font, and the most generous of them draw them
// about that wide.
constexpr int kTitleBarButtonWidthInLines = 2;

QtPrompts g_qtPrompts;
std::atomic<Prompts*> g_prompts{nullptr};

struct BoxButton {
    QMessageBox::StandardButton button;
    int result;
};

std::vector<BoxButton> ButtonsOf(unsigned type)
{
    switch (type & kButtonsMask) {
    case MB_OKCANCEL:
        return {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}};
    case MB_ABORTRETRYIGNORE:
        return {{QMessageBox::Abort, IDABORT}, {QMessageBox::Retry, IDRETRY}, {QMessageBox::Ignore, IDIGNORE}};
    case MB_YESNOCANCEL:
        return {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}};
    case MB_YESNO:
        return {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}};
    case MB_RETRYCANCEL:
        return {{QMessageBox::Retry, IDRETRY}, {QMessageBox::Cancel, IDCANCEL}};
    default:
        return {{QMessageBox::Ok, IDOK}};
    }
}

QMessageBox::Icon IconOf(unsigned type)
{
    switch (type & kIconMask) {
    case MB_ICONERROR:
        return QMessageBox::Critical;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONWARNING:
        return QMessageBox::Warning;
    case MB_ICONINFORMATION:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

int DefaultButtonIndex(unsigned type)
{
    switch (type & kDefaultButtonMask) {
    case MB_DEFBUTTON2:
        return 1;
    case MB_DEFBUTTON3:
        return 2;
    default:
        return 0;
    }
}

// How wide a window must be for a window manager's title bar to show its whole title: the
// title in the bold title-bar font beside the title bar's icon and buttons. (Qt's own
// title-bar style says nothing about it: a window manager draws the title bar.)
int TitleBarWidth(const QString& title)
{
    QFont font = QApplication::font(kTitleBarFontClass);
    font.setBold(true);
    const QFontMetrics metrics(font);
    return metrics.horizontalAdvance(title) + kTitleBarButtons * kTitleBarButtonWidthInLines * metrics.height();
}

// The window a question belongs to, whose dialog it is: its owner's, or, when it names none
// (AfxMessageBox) or its owner is gone, the program's window in front, as Windows gives
// such a question the active window. nullptr when the program shows no window.
QWidget* QuestionParent(WindowHandle owner)
{
    QWidget* window = detail::WindowWidget(owner);
    return window != nullptr ? window : detail::WindowInFront();
}

// Qt reads the patterns of a name filter from its last parenthesised group, split at blanks.
QStringList QtNameFilters(const QString& filter)
{
    QStringList nameFilters;
    for (const FileFilter& entry : ParseFileFilter(filter))
        nameFilters.append(entry.description + QStringLiteral(" (") + entry.patterns.join(u' ') + u')');
    return nameFilters;
}

void AddMenuItems(QMenu& menu, const std::vector<MenuItem>& items)
{
    for (const MenuItem& item : items) {
        if ((item.flags & MF_SEPARATOR) != 0) {
            menu.addSeparator();
        } else if ((item.flags & MF_POPUP) != 0) {
            QMenu* subMenu = menu.addMenu(item.label);
            AddMenuItems(*subMenu, item.subItems);
            subMenu->setEnabled((item.flags & (MF_DISABLED | MF_GRAYED)) == 0);
        } else {
            QAction* action = menu.addAction(item.label);
            action->setData(item.id);
            action->setEnabled((item.flags & (MF_DISABLED | MF_GRAYED)) == 0);
            if ((item.flags & MF_CHECKED) != 0) {
                action->setCheckable(true);
                action->setChecked(true);
            }
        }
    }
}

bool IsChoosable(const MenuItem& item)
{
    return (item.flags & (MF_SEPARATOR | MF_POPUP | MF_DISABLED | MF_GRAYED)) == 0;
}

} // namespace

std::vector<FileFilter> ParseFileFilter(const QString& filter)
{
    std::vector<FileFilter> filters;
    const QStringList parts = filter.split(kFilterSeparator);
    // Pairs of description and patterns; the closing "||" leaves empty parts behind.
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty() && parts[i + 1].isEmpty())
            break;
        FileFilter entry{parts[i], {}};
        for (const QString& pattern : parts[i + 1].split(kPatternSeparator, Qt::SkipEmptyParts)) {
            const QString trimmed = pattern.trimmed();
            if (!trimmed.isEmpty())
                entry.patterns.append(trimmed);
        }
        filters.push_back(std::move(entry));
    }
    return filters;
}

const MenuItem* FindMenuItem(const std::vector<MenuItem>& items, int id)
{
    for (const MenuItem& item : items) {
        if ((item.flags & MF_POPUP) != 0) {
            if (const MenuItem* found = FindMenuItem(item.subItems, id))
                return found;
        } else if ((item.flags & MF_SEPARATOR) == 0 && item.id == id) {
            return &item;
        }
    }
    return nullptr;
}

Prompts& CurrentPrompts()
{
    Prompts* installed = g_prompts.load();
    return installed != nullptr ? *installed : g_qtPrompts;
}

Prompts* SetPrompts(Prompts* prompts)
{
    return g_prompts.exchange(prompts);
}

int MessageBox(WindowHandle owner, const QString& text, const QString& caption, unsigned type)
{
    // A box without a caption of its own says whose it is.
    const QString title = caption.isEmpty() ? QString::fromUtf8(kProgramName) : caption;
    return CurrentPrompts().MessageBox(MessageBoxRequest{owner, text, title, type});
}

int AfxMessageBox(const QString& text, unsigned type)
{
    return MessageBox(platform::kNoWindow, text, QString(), type);
}

std::optional<QString> FileDialog(const FileDialogRequest& request)
{
    return CurrentPrompts().FileDialog(request);
}

int TrackPopupMenu(WindowHandle owner, QPoint screenPosition, std::vector<MenuItem> items)
{
    return CurrentPrompts().TrackPopupMenu(PopupMenuRequest{owner, screenPosition, std::move(items)});
}

int QtPrompts::MessageBox(const MessageBoxRequest& request)
{
    // On the heap: the window it belongs to may go while it is shown, and take it along.
    const QPointer<QMessageBox> box =
        new QMessageBox(IconOf(request.type), request.caption, request.text, QMessageBox::NoButton,
                        QuestionParent(request.owner), kMessageBoxFlags);
    const std::vector<BoxButton> buttons = ButtonsOf(request.type);
    std::vector<QPushButton*> added;
    for (const BoxButton& button : buttons)
        added.push_back(box->addButton(button.button));
    box->setDefaultButton(added[std::min<size_t>(DefaultButtonIndex(request.type), added.size() - 1)]);
    // The box takes its width from its text and buttons when it is shown; with a short text
    // ("Saved") that is too narrow for the title bar, which would cut the title to "...".
    if (auto* grid = qobject_cast<QGridLayout*>(box->layout())) {
        grid->addItem(new QSpacerItem(TitleBarWidth(request.caption), 0), grid->rowCount() - 1, 0, 1,
                      grid->columnCount());
    }
    detail::ModalLoopScope scope(box);
    box->exec();
    int result = 0;
    for (size_t i = 0; box != nullptr && i < added.size(); ++i) {
        if (box->clickedButton() == added[i])
            result = buttons[i].result;
    }
    delete box.data();
    return scope.EndedByQuit() ? 0 : result;
}

void ConfigureFileDialog(QFileDialog& dialog, const FileDialogRequest& request)
{
    const bool save = request.kind == FileDialogKind::Save;
    // Without a title the window would show the program's file name.
    dialog.setWindowTitle(!request.title.isEmpty() ? request.title
                                                   : QString::fromUtf8(save ? kSaveDialogTitle : kOpenDialogTitle));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(!save && (request.flags & OFN_FILEMUSTEXIST) != 0 ? QFileDialog::ExistingFile
                                                                        : QFileDialog::AnyFile);
    if (save && (request.flags & OFN_OVERWRITEPROMPT) == 0)
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    // Descriptions in the MFC habit name their patterns themselves ("Firmware Files (*.BIN)");
    // Qt would add the real patterns behind them a second time.
    const std::vector<FileFilter> filters = ParseFileFilter(request.filter);
    const bool describedByThemselves =
        !filters.empty() && std::all_of(filters.begin(), filters.end(), [](const FileFilter& entry) {
            return entry.description.trimmed().endsWith(u')');
        });
    dialog.setOption(QFileDialog::HideNameFilterDetails, describedByThemselves);
    const QStringList nameFilters = QtNameFilters(request.filter);
    if (!nameFilters.isEmpty())
        dialog.setNameFilters(nameFilters);
    // The dialog grows to show the longest filter whole.
    if (auto* types = dialog.findChild<QComboBox*>(QLatin1String(kFileTypeBoxName))) {
        types->ensurePolished();
        types->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        types->setMinimumWidth(types->sizeHint().width());
    }
    dialog.setDefaultSuffix(request.defaultExtension);
    if (!request.initialFile.isEmpty()) {
        const QFileInfo initial(request.initialFile);
        if (initial.isDir()) {
            dialog.setDirectory(initial.absoluteFilePath());
        } else {
            if (QDir(initial.absolutePath()).exists())
                dialog.setDirectory(initial.absolutePath());
            dialog.selectFile(initial.fileName());
        }
    }
}

std::optional<QString> QtPrompts::FileDialog(const FileDialogRequest& request)
{
    // On the heap: the window it belongs to may go while it is shown, and take it along.
    const QPointer<QFileDialog> dialog = new QFileDialog(QuestionParent(request.owner));
    ConfigureFileDialog(*dialog, request);
    detail::ModalLoopScope scope(dialog);
    const int result = dialog->exec();
    const QStringList chosen = dialog != nullptr ? dialog->selectedFiles() : QStringList();
    delete dialog.data();
    if (scope.EndedByQuit() || result != QDialog::Accepted || chosen.isEmpty())
        return std::nullopt;
    return QFileInfo(chosen.constFirst()).absoluteFilePath();
}

int QtPrompts::TrackPopupMenu(const PopupMenuRequest& request)
{
    QMenu menu(detail::WindowWidget(request.owner));
    AddMenuItems(menu, request.items);
    detail::ModalLoopScope scope(&menu);
    const QAction* chosen = menu.exec(request.screenPosition);
    if (scope.EndedByQuit() || chosen == nullptr)
        return 0;
    return chosen->data().toInt();
}

ScriptedPrompts::ScriptedPrompts()
{
    previous_ = SetPrompts(this);
}

ScriptedPrompts::~ScriptedPrompts()
{
    SetPrompts(previous_);
}

int ScriptedPrompts::MessageBox(const MessageBoxRequest& request)
{
    messageBoxes_.push_back(request);
    if (messageBoxAnswers_.empty()) {
        ++unanswered_;
        return 0;
    }
    const int answer = messageBoxAnswers_.front();
    messageBoxAnswers_.pop_front();
    return answer;
}

std::optional<QString> ScriptedPrompts::FileDialog(const FileDialogRequest& request)
{
    fileDialogs_.push_back(request);
    if (fileDialogAnswers_.empty()) {
        ++unanswered_;
        return std::nullopt;
    }
    // Copied, not moved: g++ 12 at -O2 warns falsely about moving out of an optional QString.
    const std::optional<QString> answer = fileDialogAnswers_.front();
    fileDialogAnswers_.pop_front();
    return answer;
}

int ScriptedPrompts::TrackPopupMenu(const PopupMenuRequest& request)
{
    menus_.push_back(request);
    if (menuAnswers_.empty()) {
        ++unanswered_;
        return 0;
    }
    const int answer = menuAnswers_.front();
    menuAnswers_.pop_front();
    const MenuItem* item = FindMenuItem(request.items, answer);
    return item != nullptr && IsChoosable(*item) ? answer : 0;
}

} // namespace ui
