#pragma once
// What the parts of ImapClient (ImapClient*.cpp) share: the connection, how a command and a
// wait are described, and the timing constants. Not for use outside the client.

#include "imap/ImapClient.h"
#include "imap/ImapCommandTracker.h"
#include "imap/ImapCommandWriting.h"
#include "imap/ImapResponseParser.h"
#include "imap/ImapResponseReader.h"

#include <QSslError>
#include <QSslSocket>
#include <functional>
#include <memory>

namespace ImapClientDetail {

// A server may split one message's items over several FETCH responses: the body and the
// internal date of the responses of `command` that `belongs` picks, joined.
inline ImapFetchData joinFetchParts(const ImapPendingCommand &command,
                                    const std::function<bool(const ImapResponse &, const ImapFetchData &)> &belongs)
{
    ImapFetchData data;
    for (const ImapResponse &response : command.untagged) {
        const std::optional<ImapFetchData> part = parseFetchResponse(response);
        if (!part || !belongs(response, *part))
            continue;
        if (part->hasBody) {
            data.hasBody = true;
            data.body = part->body;
        }
        if (part->internalDate.isValid())
            data.internalDate = part->internalDate;
    }
    return data;
}

// The longest single sleep of a wait, and how often a waiting call raises abortCheck. A wait
// sleeps in the event loop, so the window stays live throughout; only the destructor's goodbye
// sleeps on the socket alone, a slice at a time.
constexpr int sliceMs = 40;
constexpr int abortCheckEveryMs = 50;
// How much arrived data one slice reads and dispatches at most: a server that sends faster than
// the client parses must not keep the abort check from running.
constexpr int pumpBudgetMs = 15;
// What the socket takes from the system and decrypts ahead of the reader, at most: a server on a
// fast link can send far quicker than the window's thread reads, and whatever the socket
// holds for it comes on top of the message itself.
constexpr qint64 socketReadBufferBytes = qint64(4) << 20;
// How long ending a connection waits for the answer to LOGOUT.
constexpr int logoutBoundMs = 1000;

// One piece of a command: text, or a string that must travel as a literal.
struct CommandPart {
    QByteArray bytes;
    bool literal = false;
};

// A user name, password or other string argument: quoted when it can be, a literal otherwise.
inline CommandPart astring(const QByteArray &bytes)
{
    if (needsImapLiteral(bytes))
        return {bytes, true};
    return {quoteImapString(bytes), false};
}

// A command line of its own: not empty, and nothing in it that would end it or start another.
inline bool isOneCommandLine(const QByteArray &line)
{
    return !line.trimmed().isEmpty() && !line.contains('\r') && !line.contains('\n') && !line.contains('\0');
}

inline CommandPart text(const QByteArray &bytes)
{
    return {bytes, false};
}

}  // namespace ImapClientDetail

struct ImapClient::Connection {
    std::unique_ptr<QSslSocket> socket;
    ImapResponseReader reader;
    ImapCommandTracker tracker;
    QList<QSslError> sslErrors;
    QString where;  // "host:port", for messages
    int nextTag = 1;

    QByteArray newTag() { return "Q" + QByteArray::number(nextTag++); }

    // Reads what has arrived and hands the complete responses to the tracker, for at most
    // pumpBudgetMs; hasPendingInput() tells whether more is waiting. False when the
    // server sent something that is not IMAP or is out of step; error says what, quoting the
    // start of unreadable data only when quoteData.
    bool pump(QString *error, bool quoteData = true);
    bool hasPendingInput();
};

struct ImapClient::CommandSpec {
    QList<ImapClientDetail::CommandPart> parts;
    ImapPendingCommand::Kind kind = ImapPendingCommand::Kind::Other;
    qint64 fetchNumber = 0;
    bool keepRawText = false;
    QString what;  // for messages: "LOGIN", "FETCH 12" ...
    QByteArray answerKeyword;  // the untagged data it asks for (see ImapPendingCommand)
};

// What waitFor's slices share.
struct ImapClient::SliceState {
    platform::Deadline silence;  // restarted only by progress on the commands sent
    QString failure;             // why a slice found the connection unusable
    qint64 progress = 0;         // the tracker's progress at the last restart
    qint64 literalReceived = 0;  // bytes of a message literal in flight at the last restart
};

struct ImapClient::WaitSpec {
    std::function<bool()> done;
    QString what;
    qint64 fetchNumber = 0;      // report the progress of this message's literal
    int *lastPercent = nullptr;
};
