// Server bytes through the response reader, the parser and the command tracker, split at a
// point taken from the input, as the client meets them.

#include "imap/ImapCommandTracker.h"
#include "imap/ImapResponseParser.h"
#include "imap/ImapResponseReader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));
    const qsizetype split = bytes.isEmpty() ? 0 : data[0] % (bytes.size() + 1);
    ImapResponseReader reader;
    ImapCommandTracker tracker;
    const auto fetch = tracker.add("Q1", ImapPendingCommand::Kind::Fetch, 1);
    const auto list = tracker.add("Q2", ImapPendingCommand::Kind::Other);
    list->answerKeyword = "LIST";
    tracker.add("Q3", ImapPendingCommand::Kind::Select);
    for (const QByteArray &piece : {bytes.left(split), bytes.mid(split)}) {
        reader.append(piece);
        while (const std::optional<QByteArray> raw = reader.takeResponse()) {
            ImapParseResult parsed = parseImapResponse(*raw, &ImapCommandTracker::usesValuesOf);
            if (parsed.outcome != ImapParseResult::Outcome::Complete)
                return 0;
            parseListResponse(parsed.response);
            parseFetchResponse(parsed.response);
            tracker.dispatch(*raw, std::move(parsed.response));
        }
    }
    return 0;
}
