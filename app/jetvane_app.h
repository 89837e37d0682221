#pragma once
// The application object: reads the command line and runs the main dialog.
//
// Command line: SILENT anywhere; a verb LOADFIRMWARE (alias SENDFIRMWARE) or SENDCONFIG,
// the last one winning; after a verb, any other word is the file path (the last one
// winning). Words are compared without regard to case after trimming white space and
// removing leading "/", "-" and "\", so /SILENT, -silent and --Silent are the same word.
// Written only by ParseCommandLine, before any other thread exists; read-only afterwards.

#include <QString>
#include <QStringList>

#include <cstdio>
#include <optional>

inline constexpr char kCommandWordSilent[] = "SILENT";
inline constexpr char kCommandWordLoadFirmware[] = "LOADFIRMWARE";
inline constexpr char kCommandWordSendFirmware[] = "SENDFIRMWARE";
inline constexpr char kCommandWordSendConfig[] = "SENDCONFIG";
// Characters that may stand before a command word, in any number.
inline constexpr char kCommandWordPrefixes[] = "/-\\";
// An unrecognised word before any verb: its index (the program is 0) and the word as typed.
inline constexpr char kUnrecognisedWordFormat[] = "%d: %s\n";

// Why the command line's request cannot be carried out: the run's exit code and its line.
struct CommandLineRefusal {
    int exitCode;
    QString reason;
};

class CJetvaneApp {
public:
    CJetvaneApp() = default;

    // Fills the three members from the arguments as main receives them, the program first.
    // Every word that comes before a verb and is not SILENT is written to out, kept in
    // UnrecognisedWords and makes the result false; parsing goes on so that all of them are
    // reported. Unlike the words,
    // the file path is kept as typed (only white space trimmed): a leading "/" or "\" is
    // part of an absolute or UNC path.
    bool ParseCommandLine(const QStringList& arguments, FILE* out = stdout);

    // The whole run: parses the command line (exit code 12 before any window when it cannot
    // be used, or RefusedCommandLine's code before any display is asked), prepares the window system, runs the main dialog modally and returns the
    // process exit status (ExitCodeOfRun). A run that needs a window and has no display
    // that answers ends with 1. Every status but 0 comes with its line on standard error
    // (EndOfRun); in a silent run that line is all that standard error holds.
    int InitInstance(int argc, char** argv);

    // Runs the main dialog modally (the application object and the window layer exist) and
    // returns the exit status, through EndOfRun: a failure code's line is the reason of the
    // quit request, else the main window's last status text. A silent run that ends without
    // a quit code (the window was closed, or Escape ended it) says so, and what became of its
    // file (CJetvaneDlg::EndedByHandReason).
    int RunMainDialog() const;

    // The process exit status of a run that ended with quitCode, or without one: then
    // EXIT_CODE_SUCCESS for a run that began interactive, EXIT_CODE_OPERATION_FAILED for one
    // that began SILENT (nothing was acknowledged that it could report).
    int ExitCodeOfRun(std::optional<int> quitCode) const;

    bool SilentMode() const { return silentMode_; }
    // The command line holds something, but no verb with a file: the run ends with 10.
    bool HasIncompleteRequest() const
    {
        return (silentMode_ || !commandLineVerb_.isEmpty() || !commandLineFilePath_.isEmpty()) &&
               (commandLineVerb_.isEmpty() || commandLineFilePath_.isEmpty());
    }
    // The request refused as the command line states it, judged once for the start-up and the
    // main dialog: an incomplete one (EXIT_CODE_BAD_REQUEST, kReasonIncompleteCommandLine), or
    // a SILENT run's file whose name is not of the verb's kind (EXIT_CODE_FILE_ERROR,
    // kReasonNotAConfigFile or kReasonNotAFirmwareFile). Nothing when it can be carried out.
    std::optional<CommandLineRefusal> RefusedCommandLine() const;
    // kCommandWordLoadFirmware, kCommandWordSendConfig or empty.
    const QString& CommandLineVerb() const { return commandLineVerb_; }
    const QString& CommandLineFilePath() const { return commandLineFilePath_; }
    // The words that made ParseCommandLine fail, as typed.
    const QStringList& UnrecognisedWords() const { return unrecognisedWords_; }

private:
    bool silentMode_ = false;
    QStringList unrecognisedWords_;
    QString commandLineVerb_;
    QString commandLineFilePath_;
};

// The word that a command-line argument stands for: trimmed, leading prefix characters
// removed, trimmed again. Compared without regard to case by the parser.
QString CommandWordOf(const QString& argument);
