#pragma once
// The search keys of a UID SEARCH command, as the mail layer composes them.

#include <QByteArray>
#include <QList>

// One piece of the search: an atom written as it is (FROM, NOT, SINCE, 1-Feb-2022, X-GM-RAW)
// or a string argument, which travels quoted or as a literal, as its bytes need.
struct ImapSearchPart {
    QByteArray bytes;
    bool isString = false;
};

struct ImapSearchRequest {
    QList<ImapSearchPart> parts;
};

inline ImapSearchPart searchAtom(const QByteArray &atom) { return {atom, false}; }
inline ImapSearchPart searchString(const QByteArray &utf8) { return {utf8, true}; }

// A string beyond ASCII makes the command name its charset (CHARSET UTF-8).
bool needsUtf8Charset(const ImapSearchRequest &request);
