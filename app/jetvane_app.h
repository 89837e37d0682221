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

inline constexpr char kCommandWordSilent[] = "SILENT";
inline constexpr char kCommandWordLoadFirmware[] = "LOADFIRMWARE";
inline constexpr char kCommandWordSendFirmware[] = "SENDFIRMWARE";
inline constexpr char kCommandWordSendConfig[] = "SENDCONFIG";
// Characters that may stand before a command word, in any number.
inline constexpr char kCommandWordPrefixes[] = "/-\\";
// An unrecognised word before any verb: its index (the program is 0) and the word as typed.
inline constexpr char kUnrecognisedWordFormat[] = "%d: %s\n";

class CJetvaneApp {
public:
    CJetvaneApp() = default;

    // Fills the three members from the arguments as main receives them, the program first.
    // Every word that comes before a verb and is not SILENT is written to out and makes the
    // result false; parsing goes on so that all of them are reported. Unlike the words,
    // the file path is kept as typed (only white space trimmed): a leading "/" or "\" is
    // part of an absolute or UNC path.
    bool ParseCommandLine(const QStringList& arguments, FILE* out = stdout);

    // The whole run: parses the command line (exit code 12 before any window when it cannot
    // be used), runs the main dialog modally and returns the process exit status: the quit
    // code that ended the dialog, or 0.
    int InitInstance(int argc, char** argv);

    bool SilentMode() const { return silentMode_; }
    // The command line holds something, but no verb with a file: the run ends with 10.
    bool HasIncompleteRequest() const
    {
        return (silentMode_ || !commandLineVerb_.isEmpty() || !commandLineFilePath_.isEmpty()) &&
               (commandLineVerb_.isEmpty() || commandLineFilePath_.isEmpty());
    }
    // kCommandWordLoadFirmware, kCommandWordSendConfig or empty.
    const QString& CommandLineVerb() const { return commandLineVerb_; }
    const QString& CommandLineFilePath() const { return commandLineFilePath_; }

private:
    bool silentMode_ = false;
    QString commandLineVerb_;
    QString commandLineFilePath_;
};

// The word that a command-line argument stands for: trimmed, leading prefix characters
// removed, trimmed again. Compared without regard to case by the parser.
QString CommandWordOf(const QString& argument);
