#include "settings/custom_controls.h"
#include <limits>
bool CCustomEditCtrl::ValidateValue(QString text, std::int32_t delta)
{
    if (!numeric_)
        return true;
    text = text.trimmed();
    if (text.isEmpty())
        return valid_;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (i == 0 && (c == '-' || c == '+'))
            continue;
        if (c < '0' || c > '9') {
            valid_ = false;
            return false;
        }
    }
    bool sign = false, negative = false;
    if (text[0] == '-' || text[0] == '+') {
        sign = true;
        negative = text[0] == '-';
        text.remove(0, 1);
    }
    if (text.isEmpty()) {
        value_ = 0;
        return valid_;
    }
    long long n = 0;
    for (QChar c : text)
        n = std::min<long long>(n * 10 + (c.unicode() - '0'), std::numeric_limits<std::int32_t>::max());
    std::int32_t number = static_cast<std::int32_t>(negative ? -n : n);
    valid_ = true;
    if (number < minimum_ || number > maximum_) {
        valid_ = false;
        number = 0;
    } else if (delta != 0) {
        long long v = static_cast<long long>(number) + delta;
        number = static_cast<std::int32_t>(std::clamp<long long>(v, minimum_, maximum_));
    }
    valueText_ = QString::asprintf(sign && plusSign_ ? "%+01d" : "%01d", number);
    value_ = number;
    return valid_;
}
