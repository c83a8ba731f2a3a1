#pragma once
// Parsing of IMAP server responses (RFC 3501 section 7 and 9) as plain functions over bytes.
// The socket code frames complete responses with ImapResponseReader and hands each one here.
//
// A "response" is everything from its first byte to the CRLF that ends it, literals included:
//   * 12 FETCH (INTERNALDATE "01-Sep-2021 15:00:00 +0200" BODY[] {342}\r\n<342 bytes>)\r\n

#include "imap/ImapFramedResponse.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// One value of a response: an atom (INBOX, \Seen, BODY[], 42), a quoted string, a literal, NIL,
// or a parenthesised list of values.
struct ImapValue {
    enum class Kind { Atom, Quoted, Literal, Nil, List };
    Kind kind = Kind::Nil;
    QByteArray text;         // atom text, or the decoded string of a quoted string or literal
    QList<ImapValue> items;  // the members of a list

    bool isString() const { return kind == Kind::Quoted || kind == Kind::Literal; }
    // An atom, quoted string or literal: the things IMAP calls "astring".
    bool isAstring() const { return isString() || kind == Kind::Atom; }
    bool isNumber() const;
    qint64 toNumber() const;  // -1 when not a number
};

enum class ImapStatus { None, Ok, No, Bad, Bye, Preauth };

struct ImapResponse {
    enum class Kind { Tagged, Untagged, Continuation };
    Kind kind = Kind::Untagged;
    QByteArray tag;            // the tag of a tagged response, "*" or "+" otherwise

    // Status responses (tagged, "* OK", "* BYE" ...): the status, the code in brackets (without
    // them, e.g. "AUTHENTICATIONFAILED" or "UIDVALIDITY 3") and the human text after it.
    ImapStatus status = ImapStatus::None;
    QByteArray code;
    QString text;

    // Untagged data: "* 23 EXISTS" has number 23 and keyword EXISTS; "* LIST (...)" has
    // number -1 and keyword LIST. The keyword is upper case; values are what follows it.
    qint64 number = -1;
    QByteArray keyword;
    QList<ImapValue> values;
};

struct ImapParseResult {
    enum class Outcome { Complete, Incomplete, Malformed };
    Outcome outcome = Outcome::Malformed;
    ImapResponse response;
    QString error;  // what is wrong, for Incomplete and Malformed
};

// Each value costs about a hundred bytes once parsed; a response with more is refused as
// Malformed (real answers hold a few dozen).
constexpr qsizetype maxValuesPerResponse = 100000;

// Says for an untagged keyword ("FETCH", "SEARCH") whether its values are wanted.
using ImapValueFilter = bool (*)(const QByteArray &keyword);

// Parses one whole response; raw must hold exactly one response including its final CRLF.
// Input that ends too early (inside a quoted string, a literal or a list, or without the CRLF)
// is reported as Incomplete, input that can never be valid as Malformed. With wantsValues, the
// values of untagged data it refuses are skipped unread (the keyword and number still are).
ImapParseResult parseImapResponse(const QByteArray &raw, ImapValueFilter wantsValues = nullptr);
// The same for a response as the reader framed it: each literal's value shares the buffer the
// literal arrived in, so a message is not copied.
ImapParseResult parseImapResponse(const ImapFramedResponse &response, ImapValueFilter wantsValues = nullptr);

// Parses a sequence of values from raw starting at pos up to the end of the line (CRLF or end of
// data); pos is left on the first byte not consumed. Exposed for tests and for the response
// parser's own use.
ImapParseResult::Outcome parseImapValues(const QByteArray &raw, qsizetype &pos,
                                         QList<ImapValue> &values, QString *error = nullptr);

// One line of a LIST answer: * LIST (\HasNoChildren \Sent) "/" "[Gmail]/Sent Mail"
struct ImapListEntry {
    QStringList attributes;  // as sent, e.g. "\\HasNoChildren"
    QString delimiter;       // empty when the server says NIL (a flat name space)
    QByteArray wireName;     // the name as sent, still in modified UTF-7
};
std::optional<ImapListEntry> parseListResponse(const ImapResponse &response);

// The parts of a FETCH answer this program asks for.
struct ImapFetchData {
    qint64 sequenceNumber = 0;
    bool hasBody = false;
    QByteArray body;           // BODY[] (the whole message)
    QDateTime internalDate;    // invalid when absent or unreadable
    QStringList flags;
    bool hasFlags = false;
};
std::optional<ImapFetchData> parseFetchResponse(const ImapResponse &response);

// "01-Sep-2021 15:00:00 +0200" (the day may also be " 1" or "1") to a date-time carrying the
// given offset from UTC.
std::optional<QDateTime> parseInternalDate(const QByteArray &text);

// Text of a status for messages: "OK", "NO", "BAD", "BYE", "PREAUTH".
QString imapStatusName(ImapStatus status);
