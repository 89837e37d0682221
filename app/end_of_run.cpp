#include "app/end_of_run.h"

#include <QRegularExpression>

#include <cstdio>

QString OneLine(const QString& text)
{
    static const QRegularExpression kLineBreaks(QStringLiteral("\\s*[\\r\\n]+\\s*"));
    QString line = text;
    line.replace(kLineBreaks, QStringLiteral(" "));
    return line.trimmed();
}

void WriteEndOfRunLine(const QString& why)
{
    const QByteArray line = (QLatin1String(kEndOfRunPrefix) + OneLine(why) + u'\n').toLocal8Bit();
    std::fputs(line.constData(), stderr);
    std::fflush(stderr);
}
