#include "ui/dialog_template.h"

#include <QFontMetrics>
#include <QString>

namespace ui {
namespace {

constexpr char kDialogFontFamily[] = "DejaVu Sans";
constexpr int kDialogFontPointSize = 8;
// Windows takes the average width over the letters of the alphabet, both cases.
constexpr char kAverageWidthSample[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr int kLettersPerCase = 26;
constexpr int kHorizontalUnitsPerBase = 4;
constexpr int kVerticalUnitsPerBase = 8;

// value * numerator / denominator rounded half away from zero, as Windows' MulDiv.
int MulDiv(int value, int numerator, int denominator)
{
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

} // namespace

QFont DialogFont(const FontRequest& requested)
{
    const QString family = requested.family.empty()
        ? QString::fromLatin1(kDialogFontFamily)
        : QString::fromUtf8(requested.family.data(), static_cast<qsizetype>(requested.family.size()));
    QFont font(family, requested.pointSize > 0 ? requested.pointSize : kDialogFontPointSize);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

QSize DialogBaseUnits(const QFont& font)
{
    const QFontMetrics metrics(font);
    const int sampleWidth = metrics.horizontalAdvance(QString::fromLatin1(kAverageWidthSample));
    // Windows rounds the 52-letter average: (width / 26 + 1) / 2.
    const int baseX = (sampleWidth / kLettersPerCase + 1) / 2;
    return QSize(baseX, metrics.height());
}

QRect MapDialogRect(const DialogUnitRect& rect, QSize baseUnits)
{
    return QRect(MulDiv(rect.x, baseUnits.width(), kHorizontalUnitsPerBase),
                 MulDiv(rect.y, baseUnits.height(), kVerticalUnitsPerBase),
                 MulDiv(rect.width, baseUnits.width(), kHorizontalUnitsPerBase),
                 MulDiv(rect.height, baseUnits.height(), kVerticalUnitsPerBase));
}

QSize MapDialogSize(int width, int height, QSize baseUnits)
{
    return QSize(MulDiv(width, baseUnits.width(), kHorizontalUnitsPerBase),
                 MulDiv(height, baseUnits.height(), kVerticalUnitsPerBase));
}

} // namespace ui
