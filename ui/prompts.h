#pragma once
// The one seam through which the program asks the user anything: message boxes, open and
// save file dialogs, popup menus. The program calls the free functions below (or
// CurrentPrompts()); the application runs with QtPrompts, tests install ScriptedPrompts.
//
// Contract of every Prompts operation:
// - called on the user-interface thread only;
// - blocks the caller until the user answers, running a nested event loop meanwhile: messages
//   posted to windows are delivered and their handlers run during the question;
// - a quit request (PostQuitMessage) ends the question with "no answer" (0, nullopt, 0);
// - the owner window may be kNoWindow; a question whose owner is gone is still asked.

#include "ui/messages.h"

#include <QPoint>
#include <QString>
#include <QStringList>

#include <deque>
#include <optional>
#include <vector>

class QFileDialog;

namespace ui {

// Message box types: buttons, icon, default button (combine with |).
inline constexpr unsigned MB_OK = 0x0;
inline constexpr unsigned MB_OKCANCEL = 0x1;
inline constexpr unsigned MB_ABORTRETRYIGNORE = 0x2;
inline constexpr unsigned MB_YESNOCANCEL = 0x3;
inline constexpr unsigned MB_YESNO = 0x4;
inline constexpr unsigned MB_RETRYCANCEL = 0x5;
inline constexpr unsigned MB_ICONERROR = 0x10;
inline constexpr unsigned MB_ICONQUESTION = 0x20;
inline constexpr unsigned MB_ICONWARNING = 0x30;
inline constexpr unsigned MB_ICONINFORMATION = 0x40;
inline constexpr unsigned MB_DEFBUTTON2 = 0x100;
inline constexpr unsigned MB_DEFBUTTON3 = 0x200;
// Message box results besides IDOK and IDCANCEL (ui/messages.h).
inline constexpr int IDABORT = 3;
inline constexpr int IDRETRY = 4;
inline constexpr int IDIGNORE = 5;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// File dialog flags.
inline constexpr unsigned OFN_OVERWRITEPROMPT = 0x00000002;
inline constexpr unsigned OFN_HIDEREADONLY = 0x00000004;
inline constexpr unsigned OFN_PATHMUSTEXIST = 0x00000800;
inline constexpr unsigned OFN_FILEMUSTEXIST = 0x00001000;
inline constexpr unsigned OFN_EXPLORER = 0x00080000;
inline constexpr unsigned OFN_LONGNAMES = 0x00200000;

// Popup menu item flags.
inline constexpr unsigned MF_STRING = 0x0;
inline constexpr unsigned MF_GRAYED = 0x1;
inline constexpr unsigned MF_DISABLED = 0x2;  // shown, cannot be chosen (a heading)
inline constexpr unsigned MF_CHECKED = 0x8;
inline constexpr unsigned MF_POPUP = 0x10;    // a sub-menu: subItems
inline constexpr unsigned MF_SEPARATOR = 0x800;

struct MessageBoxRequest {
    WindowHandle owner = platform::kNoWindow;
    QString text;
    QString caption;
    unsigned type = MB_OK;
};

// One entry of a filter in the MFC form "Desc (*.A)|*.A;*.B|All (*.*)|*.*||".
struct FileFilter {
    QString description;
    QStringList patterns;  // "*.A", "*.B": blanks around the ";" removed
    bool operator==(const FileFilter&) const = default;
};
std::vector<FileFilter> ParseFileFilter(const QString& filter);

enum class FileDialogKind { Open, Save };

struct FileDialogRequest {
    FileDialogKind kind = FileDialogKind::Open;
    WindowHandle owner = platform::kNoWindow;
    QString title;             // empty: "Open" / "Save As"
    QString defaultExtension;  // without the dot; added to a typed name without extension
    QString initialFile;       // a name or a path: the folder shown and the name proposed
    QString filter;            // MFC form, see ParseFileFilter
    unsigned flags = 0;        // OFN_*
};

struct MenuItem {
    int id = 0;
    unsigned flags = MF_STRING;
    QString label;                  // "&" before the access key
    std::vector<MenuItem> subItems; // for MF_POPUP
};

struct PopupMenuRequest {
    WindowHandle owner = platform::kNoWindow;
    QPoint screenPosition;  // the menu's top-left corner
    std::vector<MenuItem> items;
};

class Prompts {
public:
    virtual ~Prompts() = default;
    // The id of the button pressed (IDOK, IDYES, ...), or 0 without an answer.
    virtual int MessageBox(const MessageBoxRequest& request) = 0;
    // The chosen file's full path, or nothing when the user cancelled.
    virtual std::optional<QString> FileDialog(const FileDialogRequest& request) = 0;
    // The id of the chosen item, or 0 when the menu closed without a choice.
    virtual int TrackPopupMenu(const PopupMenuRequest& request) = 0;
};

// The installed prompts; QtPrompts while none is installed.
Prompts& CurrentPrompts();
// Installs prompts (nullptr: back to QtPrompts). Returns the previous installation.
Prompts* SetPrompts(Prompts* prompts);

// A message box; an empty caption gives the program's name, as AfxMessageBox has.
int MessageBox(WindowHandle owner, const QString& text, const QString& caption, unsigned type = MB_OK);
// A message box of the program's own, captioned with its name (AfxMessageBox).
int AfxMessageBox(const QString& text, unsigned type = MB_OK);
std::optional<QString> FileDialog(const FileDialogRequest& request);
int TrackPopupMenu(WindowHandle owner, QPoint screenPosition, std::vector<MenuItem> items);

// Sets a Qt file dialog up for a request: the title ("Open" or "Save As" when the request
// names none), open or save, the filters, the default extension, the folder and the
// proposed name. A filter shows its description alone when
// every description names its patterns itself, as in "Firmware Files (*.BIN)". A save
// dialog asks before it replaces an existing file only with OFN_OVERWRITEPROMPT; No to its
// question keeps the dialog open.
void ConfigureFileDialog(QFileDialog& dialog, const FileDialogRequest& request);

// Real questions on the screen, with Qt's widgets. A message box or file dialog is a dialog
// of its owner's window, or of the program's window in front when it names none (or its
// owner is gone), as Windows gives such a question the active window: shown over that window
// and handing the activation back to it. A message box is as wide as its whole title needs
// in a window manager's title bar.
class QtPrompts final : public Prompts {
public:
    int MessageBox(const MessageBoxRequest& request) override;
    std::optional<QString> FileDialog(const FileDialogRequest& request) override;
    int TrackPopupMenu(const PopupMenuRequest& request) override;
};

// Answers from a script, for tests. Installs itself for its lifetime. Each kind of question
// takes the next answer queued for it; a question without a queued answer gets "no answer"
// (0, nullopt, 0) and counts in Unanswered(). A menu answer that names no item the user could
// choose (missing, disabled, a separator or a sub-menu) also gives 0, as a real menu would.
// Every question is recorded as asked.
class ScriptedPrompts final : public Prompts {
public:
    ScriptedPrompts();
    ~ScriptedPrompts() override;
    ScriptedPrompts(const ScriptedPrompts&) = delete;
    ScriptedPrompts& operator=(const ScriptedPrompts&) = delete;

    void AnswerMessageBox(int result) { messageBoxAnswers_.push_back(result); }
    void AnswerFileDialog(std::optional<QString> path) { fileDialogAnswers_.push_back(std::move(path)); }
    void AnswerMenu(int id) { menuAnswers_.push_back(id); }

    const std::vector<MessageBoxRequest>& MessageBoxes() const { return messageBoxes_; }
    const std::vector<FileDialogRequest>& FileDialogs() const { return fileDialogs_; }
    const std::vector<PopupMenuRequest>& Menus() const { return menus_; }
    int Unanswered() const { return unanswered_; }

    int MessageBox(const MessageBoxRequest& request) override;
    std::optional<QString> FileDialog(const FileDialogRequest& request) override;
    int TrackPopupMenu(const PopupMenuRequest& request) override;

private:
    Prompts* previous_ = nullptr;
    std::deque<int> messageBoxAnswers_;
    std::deque<std::optional<QString>> fileDialogAnswers_;
    std::deque<int> menuAnswers_;
    std::vector<MessageBoxRequest> messageBoxes_;
    std::vector<FileDialogRequest> fileDialogs_;
    std::vector<PopupMenuRequest> menus_;
    int unanswered_ = 0;
};

// The item with this id anywhere in the menu, sub-menus included; nullptr when none.
const MenuItem* FindMenuItem(const std::vector<MenuItem>& items, int id);

} // namespace ui
