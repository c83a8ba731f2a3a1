#include "platform/InvisibleCharacters.h"

namespace platform {

QString oneShownLine(const QString &text)
{
    QString line;
    line.reserve(text.size());
    for (const QChar c : text) {
        const char16_t code = c.unicode();
        if (code == '\r' || code == '\n' || code == '\t' || code == 0x2028 || code == 0x2029)
            line += QLatin1Char(' ');
        else if (!isInvisibleControl(code))
            line += c;
    }
    return line.trimmed();
}

}  // namespace platform
