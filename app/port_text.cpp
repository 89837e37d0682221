#include "app/port_text.h"

#include "app/status_texts.h"
#include "comms/decimal_text.h"
#include "comms/device_search.h"
#include "ui/text.h"


std::optional<std::uint8_t> PortNumberFromCombo(int selectedIndex, const QString& typedText)
{
    int port = 0;
    if (selectedIndex >= 0) {
        port = selectedIndex;
    } else {
        const QString text = typedText.trimmed();
        const QLatin1String prefix(kPortTextPrefix);
        if (text.startsWith(prefix, Qt::CaseInsensitive))
            port = ReadLeadingNumber(ui::Utf16(text.mid(prefix.size()).trimmed())).number;
    }
    if (port < 0)
        port = 0;
    // Digits beyond 32 bits read as the largest number, which lands here too.
    if (port > CQVAirDeviceSearch::kHighestPort)
        return std::nullopt;
    return static_cast<std::uint8_t>(port);
}

QStringList PortComboItems()
{
    QStringList items;
    items << QString::fromLatin1(kPortComboAuto);
    for (int port = kPortComboFirstPort; port <= kPortComboLastPort; ++port)
        items << QString::asprintf(kPortNameFormat, port);
    return items;
}
