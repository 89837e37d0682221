#include "app/jetvane_app.h"

#include "app/end_of_run.h"
#include "app/file_choice.h"
#include "ui/exit_codes.h"

namespace {

bool IsWord(const QString& word, const char* keyword)
{
    return word.compare(QLatin1String(keyword), Qt::CaseInsensitive) == 0;
}

} // namespace

QString CommandWordOf(const QString& argument)
{
    const QString trimmed = argument.trimmed();
    const QLatin1String prefixes(kCommandWordPrefixes);
    qsizetype start = 0;
    while (start < trimmed.size() && prefixes.contains(trimmed.at(start)))
        ++start;
    return trimmed.mid(start).trimmed();
}

bool CJetvaneApp::ParseCommandLine(const QStringList& arguments, FILE* out)
{
    silentMode_ = false;
    commandLineVerb_.clear();
    commandLineFilePath_.clear();
    unrecognisedWords_.clear();
    bool result = true;

    // arguments[0] is the program itself.
    for (qsizetype index = 1; index < arguments.size(); ++index) {
        const QString& argument = arguments.at(index);
        const QString word = CommandWordOf(argument);
        if (IsWord(word, kCommandWordSilent)) {
            silentMode_ = true;
        } else if (IsWord(word, kCommandWordLoadFirmware) || IsWord(word, kCommandWordSendFirmware)) {
            commandLineVerb_ = QLatin1String(kCommandWordLoadFirmware);
        } else if (IsWord(word, kCommandWordSendConfig)) {
            commandLineVerb_ = QLatin1String(kCommandWordSendConfig);
        } else if (commandLineVerb_.isEmpty()) {
            if (out != nullptr) {
                std::fprintf(out, kUnrecognisedWordFormat, static_cast<int>(index), argument.toUtf8().constData());
                std::fflush(out);
            }
            unrecognisedWords_.append(argument);
            result = false;
        } else {
            commandLineFilePath_ = argument.trimmed();
        }
    }
    return result;
}

std::optional<CommandLineRefusal> CJetvaneApp::RefusedCommandLine() const
{
    if (HasIncompleteRequest())
        return CommandLineRefusal{EXIT_CODE_BAD_REQUEST, QString::fromUtf8(kReasonIncompleteCommandLine)};
    // A run with a window lets the technician choose in the file dialog, whatever the name.
    if (!silentMode_)
        return std::nullopt;
    if (IsWord(commandLineVerb_, kCommandWordLoadFirmware) && !IsSilentFirmwareFileAccepted(commandLineFilePath_))
        return CommandLineRefusal{EXIT_CODE_FILE_ERROR,
                                  QString::fromUtf8(kReasonNotAFirmwareFile).arg(commandLineFilePath_)};
    if (IsWord(commandLineVerb_, kCommandWordSendConfig) && !IsSilentConfigFileAccepted(commandLineFilePath_))
        return CommandLineRefusal{EXIT_CODE_FILE_ERROR,
                                  QString::fromUtf8(kReasonNotAConfigFile).arg(commandLineFilePath_)};
    return std::nullopt;
}
