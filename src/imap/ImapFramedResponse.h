#pragma once
// One response as the reader framed it. Its lines are kept together; each literal's bytes are
// kept apart, in a buffer of their own, so that a message arriving as a literal is stored once,
// where it will stay, and never copied out of a larger buffer.

#include <QByteArray>
#include <QList>

struct ImapFramedResponse {
    // Every line of the response, each literal's announcement ("{5}\r\n") included but not its
    // bytes.
    QByteArray lines;
    // Where in `lines` each literal's bytes belong (just after its announcement), and the bytes.
    QList<qsizetype> literalAt;
    QList<QByteArray> literals;

    // The response's size and bytes as they came over the wire; joined stops after `limit`
    // bytes when limit >= 0.
    qint64 size() const;
    QByteArray joined(qint64 limit = -1) const;
};
