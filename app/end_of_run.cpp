#include "app/end_of_run.h"

#include "ui/exit_codes.h"

#include <QRegularExpression>
#include <QtGlobal>

#include <cstdio>

namespace {

QtMessageHandler g_qtHandler = nullptr;

void DropAllButFatal(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtFatalMsg && g_qtHandler != nullptr)
        g_qtHandler(type, context, message);
}

} // namespace

QString OneLine(const QString& text)
{
    static const QRegularExpression kLineBreaks(QStringLiteral("\\s*[\\r\\n]+\\s*"));
    QString line = text;
    line.replace(kLineBreaks, QStringLiteral(" "));
    return line.trimmed();
}

int EndOfRun(int exitCode, const QString& why)
{
    if (exitCode == EXIT_CODE_SUCCESS)
        return exitCode;
    const QByteArray line = (QLatin1String(kEndOfRunPrefix) + OneLine(why) + u'\n').toLocal8Bit();
    std::fputs(line.constData(), stderr);
    std::fflush(stderr);
    return exitCode;
}

void HoldBackQtMessages()
{
    QtMessageHandler previous = qInstallMessageHandler(DropAllButFatal);
    if (previous != DropAllButFatal)
        g_qtHandler = previous;
}
