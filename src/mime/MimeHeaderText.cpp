#include "mime/MimeLibrary.h"
#include "mime/MimeHeaderText.h"

#include <QRegularExpression>
#include <vector>

namespace {

struct EncodedWord {
    qsizetype start;
    qsizetype end;
    QString charset;
    QByteArray base64;
};

bool onlyWhitespace(const QString &text, qsizetype from, qsizetype to)
{
    for (qsizetype i = from; i < to; ++i)
        if (text.at(i) != QLatin1Char(' ') && text.at(i) != QLatin1Char('\t')
            && text.at(i) != QLatin1Char('\r') && text.at(i) != QLatin1Char('\n'))
            return false;
    return true;
}

// A run needs joining only when a word before the last one ends in padding.
bool needsJoining(const std::vector<EncodedWord> &run)
{
    for (size_t i = 0; i + 1 < run.size(); ++i)
        if (run[i].base64.endsWith('='))
            return true;
    return false;
}

QString joinedWord(const std::vector<EncodedWord> &run)
{
    QByteArray bytes;
    for (const auto &word : run) {
        const auto decoded = QByteArray::fromBase64Encoding(word.base64, QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded)
            return QString();
        bytes += *decoded;
    }
    return QStringLiteral("=?") + run.front().charset + QStringLiteral("?B?")
           + QString::fromLatin1(bytes.toBase64()) + QStringLiteral("?=");
}

} // namespace

QByteArray joinSplitBase64Words(const QByteArray &header)
{
    static const QRegularExpression pattern(QStringLiteral("=\\?([^?\\s]+)\\?[Bb]\\?([A-Za-z0-9+/=]*)\\?="));
    // Latin-1 maps every byte to one character and back, so 8-bit header bytes survive.
    const QString text = QString::fromLatin1(header);
    std::vector<std::vector<EncodedWord>> runs;
    for (auto it = pattern.globalMatch(text); it.hasNext();) {
        const auto match = it.next();
        EncodedWord word{match.capturedStart(), match.capturedEnd(), match.captured(1),
                         match.captured(2).toLatin1()};
        const bool continues = !runs.empty()
                               && runs.back().back().charset.compare(word.charset, Qt::CaseInsensitive) == 0
                               && onlyWhitespace(text, runs.back().back().end, word.start);
        if (continues)
            runs.back().push_back(word);
        else
            runs.push_back({word});
    }
    QString out = text;
    // From the back, so that earlier positions stay right.
    for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
        if (run->size() < 2 || !needsJoining(*run))
            continue;
        const QString joined = joinedWord(*run);
        if (!joined.isEmpty())
            out.replace(run->front().start, run->back().end - run->front().start, joined);
    }
    return out.toLatin1();
}

QByteArray unfoldHeader(const QByteArray &rawValue)
{
    mimeParserOptions();
    GCharPtr unfolded(g_mime_utils_header_unfold(rawValue.constData()));
    return joinSplitBase64Words(unfolded ? QByteArray(unfolded.get()) : QByteArray());
}

QString decodeHeaderText(const QByteArray &rawValue)
{
    const QByteArray unfolded = unfoldHeader(rawValue);
    GCharPtr decoded(g_mime_utils_header_decode_text(mimeParserOptions(), unfolded.constData()));
    return decoded ? QString::fromUtf8(decoded.get()).trimmed() : QString();
}
