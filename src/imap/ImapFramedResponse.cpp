#include "imap/ImapFramedResponse.h"

qint64 ImapFramedResponse::size() const
{
    qint64 total = lines.size();
    for (const QByteArray &literal : literals)
        total += literal.size();
    return total;
}

QByteArray ImapFramedResponse::joined(qint64 limit) const
{
    const qint64 total = limit >= 0 ? qMin(limit, size()) : size();
    QByteArray bytes;
    bytes.reserve(total);
    qsizetype linePos = 0;
    for (qsizetype i = 0; i <= literals.size() && bytes.size() < total; ++i) {
        const qsizetype lineEnd = i < literals.size() ? literalAt[i] : lines.size();
        bytes.append(lines.constData() + linePos, qMin<qint64>(lineEnd - linePos, total - bytes.size()));
        linePos = lineEnd;
        if (i < literals.size())
            bytes.append(literals[i].constData(), qMin<qint64>(literals[i].size(), total - bytes.size()));
    }
    return bytes;
}
