#include "imap/ModifiedUtf7.h"

#include <optional>

// IMAP's modified UTF-7: printable ASCII stands for itself ("&" is written "&-"); everything
// else is UTF-16BE in base64 with "," in place of "/", no padding, between "&" and "-".

namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+,";

bool isPrintableAscii(char16_t c)
{
    return c >= 0x20 && c <= 0x7e;
}

int base64Value(char c)
{
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == ',') return 63;
    return -1;
}

bool hasOnlyPairedSurrogates(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate()) {
            if (i + 1 >= text.size() || !text.at(i + 1).isLowSurrogate())
                return false;
            ++i;
        } else if (c.isLowSurrogate()) {
            return false;
        }
    }
    return true;
}

// Decodes the base64 between "&" and "-". Nothing is returned for anything a correct encoder
// could not have written (stray characters, a half UTF-16 unit, non-zero padding bits, a lone
// surrogate), so that the caller can keep the raw text instead of showing garbage.
std::optional<QString> decodeShiftedRun(const QByteArray &run)
{
    QString out;
    quint32 bits = 0;
    int bitCount = 0;
    for (char c : run) {
        const int value = base64Value(c);
        if (value < 0)
            return std::nullopt;
        bits = (bits << 6) | quint32(value);
        bitCount += 6;
        if (bitCount >= 16) {
            bitCount -= 16;
            out.append(QChar(char16_t((bits >> bitCount) & 0xffff)));
        }
    }
    if (bitCount >= 6 || (bits & ((1u << bitCount) - 1)) != 0)
        return std::nullopt;
    if (out.isEmpty() || !hasOnlyPairedSurrogates(out))
        return std::nullopt;
    return out;
}

void appendShiftedRun(QByteArray &out, const QString &run)
{
    out.append('&');
    quint32 bits = 0;
    int bitCount = 0;
    for (QChar c : run) {
        bits = (bits << 16) | c.unicode();
        bitCount += 16;
        while (bitCount >= 6) {
            bitCount -= 6;
            out.append(kAlphabet[(bits >> bitCount) & 0x3f]);
        }
    }
    if (bitCount > 0)
        out.append(kAlphabet[(bits << (6 - bitCount)) & 0x3f]);
    out.append('-');
}

} // namespace

QString decodeMailboxName(const QByteArray &wireName)
{
    QString out;
    qsizetype i = 0;
    while (i < wireName.size()) {
        const qsizetype amp = wireName.indexOf('&', i);
        if (amp < 0) {
            // Servers that speak UTF-8 to us (or misbehave) send 8-bit bytes outside any
            // shifted run; UTF-8 is the only sensible reading of them.
            out += QString::fromUtf8(wireName.mid(i));
            break;
        }
        out += QString::fromUtf8(wireName.mid(i, amp - i));
        const qsizetype dash = wireName.indexOf('-', amp + 1);
        if (dash < 0) {
            out += QString::fromUtf8(wireName.mid(amp));
            break;
        }
        if (dash == amp + 1) {
            out += QLatin1Char('&');
        } else if (auto decoded = decodeShiftedRun(wireName.mid(amp + 1, dash - amp - 1))) {
            out += *decoded;
        } else {
            out += QString::fromUtf8(wireName.mid(amp, dash + 1 - amp));
        }
        i = dash + 1;
    }
    return out;
}

QByteArray encodeMailboxName(const QString &name)
{
    QByteArray out;
    QString shifted;
    auto flush = [&] {
        if (!shifted.isEmpty()) {
            appendShiftedRun(out, shifted);
            shifted.clear();
        }
    };
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name.at(i);
        if (isPrintableAscii(c.unicode())) {
            flush();
            if (c == QLatin1Char('&'))
                out.append("&-");
            else
                out.append(char(c.unicode()));
        } else if (c.isHighSurrogate() && i + 1 < name.size() && name.at(i + 1).isLowSurrogate()) {
            shifted.append(c);
            shifted.append(name.at(++i));
        } else if (c.isSurrogate()) {
            // A lone surrogate is not a character; the server would reject the name.
            shifted.append(QChar(QChar::ReplacementCharacter));
        } else {
            shifted.append(c);
        }
    }
    flush();
    return out;
}
