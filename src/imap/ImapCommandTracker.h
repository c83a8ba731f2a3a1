#pragma once
// The commands sent on one IMAP connection that have not been answered yet, and where each
// response the server sends belongs. Plain code: the client feeds it parsed responses.
//
// Commands may be sent ahead (several FETCHes before the first answer is read). Untagged data
// belongs to the oldest unanswered command, except a message's FETCH data, which belongs to the
// FETCH for that message number (a server may run several FETCHes at once); a tagged line
// finishes the command with that tag. A command whose answer nobody will read any more is
// "abandoned": what arrives for it is dropped as it arrives.
//
// A command keeps only the untagged data it asked for (its message, its LIST lines), up to a
// limit; everything else a server sends is counted and dropped, so that a server cannot fill
// the memory with unsolicited data while a command runs.

#include "imap/ImapResponseParser.h"

#include <QByteArray>
#include <QList>
#include <deque>
#include <memory>
#include <optional>

struct ImapPendingCommand {
    // UidFetch: fetchNumber holds the UID; its data is known by the UID it carries. Search
    // keeps its SEARCH lines as received in rawText.
    enum class Kind { Other, Select, Fetch, Logout, UidFetch, Search };
    QByteArray tag;
    Kind kind = Kind::Other;
    qint64 fetchNumber = 0;              // for Kind::Fetch (for Kind::UidFetch: the UID)
    bool keepRawText = false;            // collect the raw answer (for raw commands)
    QByteArray answerKeyword;            // the untagged data an Other command asks for: "LIST", "ID"
    bool abandoned = false;
    bool hadBody = false;                // a FETCH's message body arrived (kept or dropped)

    QList<ImapResponse> untagged;        // untagged data that belongs to this command
    QByteArray rawText;                  // untagged lines and the tagged line, as received
    std::optional<ImapResponse> completion;  // the tagged OK/NO/BAD
    bool continued = false;              // the server asked for the rest of the command ("+")
    qint64 selectedCount = -1;           // EXISTS seen while a Select command was the oldest
    qint64 selectedUidValidity = -1;     // "[UIDVALIDITY n]" seen while it was the oldest
    qint64 keptBytes = 0;                // size of what untagged and rawText hold

    bool done() const { return completion.has_value(); }
    bool succeeded() const { return done() && completion->status == ImapStatus::Ok; }
};

class ImapCommandTracker {
public:
    using Command = std::shared_ptr<ImapPendingCommand>;

    // What one command keeps of untagged data: the raw answer of a raw command, or the lines of
    // a LIST. A FETCH keeps its message, which the reader already limits to one response.
    static constexpr qint64 maxRawText = qint64(64) << 10;
    static constexpr qint64 maxKeptBytes = qint64(16) << 20;

    Command add(const QByteArray &tag, ImapPendingCommand::Kind kind, qint64 fetchNumber = 0);

    // Hands one complete response (its bytes and their parse) to whom it belongs.
    void dispatch(const QByteArray &raw, ImapResponse response);
    void dispatch(const ImapFramedResponse &raw, ImapResponse response);

    // A command that waits for "+" before sending the rest (a synchronising literal). While one
    // does, nothing else may be sent on the connection: its bytes would be taken as the literal.
    void setAwaitingContinuation(const Command &command) { m_awaitingContinuation = command; }
    bool isAwaitingContinuation() const { return m_awaitingContinuation != nullptr; }

    const std::optional<ImapResponse> &greeting() const { return m_greeting; }
    const std::optional<ImapResponse> &bye() const { return m_bye; }

    // The selected mailbox: none until an EXAMINE/SELECT succeeds; its message count follows
    // EXISTS and EXPUNGE responses.
    bool hasSelection() const { return m_selected; }
    qint64 messageCount() const { return m_selected ? m_messageCount : 0; }
    // The selected mailbox's UIDVALIDITY: a UID found before means the same message only while
    // it is unchanged. -1 when the server gave none.
    qint64 uidValidity() const { return m_selected ? m_uidValidity : -1; }

    qsizetype outstandingCount() const { return qsizetype(m_outstanding.size()); }

    // Untagged responses no command asked for, dropped as they came.
    qint64 droppedCount() const { return m_dropped; }
    // Grows with every response that answers a command sent: its tagged reply, a go-ahead, or
    // data it asked for. Unsolicited data leaves it alone.
    qint64 progress() const { return m_progress; }
    // Whether any command reads the values of untagged data with this keyword (a FETCH, a LIST);
    // the values of all other data may be left unparsed.
    static bool usesValuesOf(const QByteArray &keyword);
    // Whether a FETCH for this message number is waiting for its answer. A UID FETCH's message
    // number is not known before its answer: while one waits, any number may be it.
    bool awaitsFetchOf(qint64 number) const;

    // A tagged reply whose tag matches no command sent: the conversation is out of step.
    bool sawUnexpectedReply() const { return m_unexpectedReply; }

private:
    void finish(ImapResponse response, const ImapFramedResponse &raw);
    void handleUntagged(const ImapFramedResponse &raw, ImapResponse response);
    bool noteMailboxSize(const ImapResponse &response, const Command &owner);
    static bool noteUidValidity(const ImapResponse &response, const Command &owner);
    static bool asksFor(const ImapPendingCommand &command, const ImapResponse &response);
    static bool keep(ImapPendingCommand &command, const ImapFramedResponse &raw, ImapResponse &response);
    Command oldest() const;
    Command ownerOf(const ImapResponse &response) const;
    static bool carriesMessageData(const ImapResponse &response);
    // Only for message data (carriesMessageData): whether it holds the body itself.
    static bool carriesBody(const ImapResponse &response);

    std::deque<Command> m_outstanding;
    Command m_awaitingContinuation;
    std::optional<ImapResponse> m_greeting;
    std::optional<ImapResponse> m_bye;
    bool m_selected = false;
    bool m_unexpectedReply = false;
    qint64 m_dropped = 0;
    qint64 m_progress = 0;
    qint64 m_messageCount = 0;
    qint64 m_uidValidity = -1;
};
