#pragma once
// What the answers to UID SEARCH and UID FETCH carry beyond a plain FETCH: the numbers a search
// found, and the UID a message's FETCH data names it by.

#include <QByteArray>
#include <QList>
#include <optional>

struct ImapResponse;

// The numbers of one "* SEARCH 4 9 12" line (RFC 3501 section 7.2.5), with or without its CRLF.
// A trailing "(MODSEQ n)" (RFC 7162) is allowed and ignored. Nothing when the line is no SEARCH
// answer or holds anything but numbers.
std::optional<QList<qint64>> parseSearchResponse(const QByteArray &line);

// Every number of every SEARCH line of an answer (CRLF-separated lines), in the order sent, each
// once. Nothing when one of the lines cannot be read.
std::optional<QList<qint64>> searchResultFrom(const QByteArray &answer);

// The UID that a FETCH response gives for its message, or 0 when it gives none.
qint64 fetchResponseUid(const ImapResponse &response);
