#include "imap/ImapCommandTracker.h"

#include "imap/ImapSearchResponse.h"

#include <algorithm>

ImapCommandTracker::Command ImapCommandTracker::add(const QByteArray &tag, ImapPendingCommand::Kind kind,
                                                    qint64 fetchNumber)
{
    auto command = std::make_shared<ImapPendingCommand>();
    command->tag = tag;
    command->kind = kind;
    command->fetchNumber = fetchNumber;
    if (kind == ImapPendingCommand::Kind::Select) {
        // Whatever was selected stops being so once the server reaches this command; answers
        // still due for the old mailbox are not counted for the new one.
        m_selected = false;
        m_messageCount = 0;
    }
    m_outstanding.push_back(command);
    return command;
}

void ImapCommandTracker::dispatch(const QByteArray &raw, ImapResponse response)
{
    dispatch(ImapFramedResponse{raw, {}, {}}, std::move(response));
}

void ImapCommandTracker::dispatch(const ImapFramedResponse &raw, ImapResponse response)
{
    switch (response.kind) {
    case ImapResponse::Kind::Continuation:
        if (m_awaitingContinuation) {
            ++m_progress;
            m_awaitingContinuation->continued = true;
            m_awaitingContinuation.reset();
        }
        return;
    case ImapResponse::Kind::Tagged:
        finish(std::move(response), raw);
        return;
    case ImapResponse::Kind::Untagged:
        handleUntagged(raw, std::move(response));
        return;
    }
}

void ImapCommandTracker::finish(ImapResponse response, const ImapFramedResponse &raw)
{
    const auto found = std::find_if(m_outstanding.begin(), m_outstanding.end(),
                                    [&](const Command &c) { return c->tag == response.tag; });
    if (found == m_outstanding.end()) {
        m_unexpectedReply = true;
        return;
    }
    const Command command = *found;
    m_outstanding.erase(found);
    ++m_progress;
    if (m_awaitingContinuation == command)
        m_awaitingContinuation.reset();
    if (command->kind == ImapPendingCommand::Kind::Select) {
        m_selected = response.status == ImapStatus::Ok;
        m_messageCount = m_selected ? qMax<qint64>(command->selectedCount, 0) : 0;
        m_uidValidity = m_selected ? command->selectedUidValidity : -1;
    }
    if (command->keepRawText && !command->abandoned)
        command->rawText += raw.joined(maxRawText);
    command->completion = std::move(response);
}

void ImapCommandTracker::handleUntagged(const ImapFramedResponse &raw, ImapResponse response)
{
    if (!m_greeting) {
        m_greeting = response;
        if (response.status == ImapStatus::Bye)
            m_bye = response;
        return;
    }
    bool used = false;
    if (response.status == ImapStatus::Bye) {
        m_bye = response;
        used = true;
    }
    const Command owner = ownerOf(response);
    if (owner && (owner->kind == ImapPendingCommand::Kind::Fetch || owner->kind == ImapPendingCommand::Kind::UidFetch)
        && asksFor(*owner, response) && carriesBody(response))
        owner->hadBody = true;
    used = noteMailboxSize(response, owner) || used;
    used = noteUidValidity(response, owner) || used;
    if (owner && asksFor(*owner, response))
        ++m_progress;
    if (owner && !owner->abandoned && keep(*owner, raw, response))
        used = true;
    if (!used)
        ++m_dropped;
}

bool ImapCommandTracker::keep(ImapPendingCommand &command, const ImapFramedResponse &raw, ImapResponse &response)
{
    const qint64 size = raw.size();
    if (command.kind == ImapPendingCommand::Kind::Search) {
        // Counted beyond the limit, so that the caller sees the answer was cut.
        if (!asksFor(command, response))
            return false;
        command.keptBytes += size;
        if (command.keptBytes <= maxKeptBytes)
            command.rawText += raw.joined();
        return true;
    }
    if (command.keepRawText) {
        if (command.rawText.size() + size > maxRawText)
            return false;
        command.rawText += raw.joined();
        command.keptBytes += size;
        return true;
    }
    const bool stores = command.kind == ImapPendingCommand::Kind::Fetch || command.kind == ImapPendingCommand::Kind::UidFetch
                        || command.kind == ImapPendingCommand::Kind::Other;
    if (!stores || !asksFor(command, response))
        return false;
    if (command.kind == ImapPendingCommand::Kind::Other && command.keptBytes + size > maxKeptBytes)
        return false;
    command.keptBytes += size;
    command.untagged.append(std::move(response));
    return true;
}

bool ImapCommandTracker::asksFor(const ImapPendingCommand &command, const ImapResponse &response)
{
    switch (command.kind) {
    case ImapPendingCommand::Kind::Fetch:
        return response.keyword == "FETCH" && response.number == command.fetchNumber && carriesMessageData(response);
    case ImapPendingCommand::Kind::UidFetch:
        return response.keyword == "FETCH" && carriesMessageData(response)
               && fetchResponseUid(response) == command.fetchNumber;
    case ImapPendingCommand::Kind::Search:
        return response.keyword == "SEARCH";
    case ImapPendingCommand::Kind::Select:
        return response.keyword == "EXISTS" || response.keyword == "FLAGS";
    case ImapPendingCommand::Kind::Logout:
        return response.status == ImapStatus::Bye;
    case ImapPendingCommand::Kind::Other:
        return !command.answerKeyword.isEmpty() && response.keyword == command.answerKeyword;
    }
    return false;
}

bool ImapCommandTracker::usesValuesOf(const QByteArray &keyword)
{
    return keyword == "FETCH" || keyword == "LIST" || keyword == "LSUB" || keyword == "XLIST";
}

bool ImapCommandTracker::awaitsFetchOf(qint64 number) const
{
    return std::any_of(m_outstanding.begin(), m_outstanding.end(), [number](const Command &command) {
        return (command->kind == ImapPendingCommand::Kind::Fetch && command->fetchNumber == number)
               || command->kind == ImapPendingCommand::Kind::UidFetch;
    });
}

// Follows the mailbox size; true when the response was one of the two that tell it.
bool ImapCommandTracker::noteMailboxSize(const ImapResponse &response, const Command &owner)
{
    if (response.keyword == "EXISTS" && response.number >= 0) {
        if (owner && owner->kind == ImapPendingCommand::Kind::Select)
            owner->selectedCount = response.number;
        else if (m_selected)
            m_messageCount = response.number;
        return true;
    }
    if (response.keyword == "EXPUNGE" && response.number > 0) {
        if (owner && owner->kind == ImapPendingCommand::Kind::Select)
            owner->selectedCount = qMax<qint64>(owner->selectedCount - 1, 0);
        else if (m_selected)
            m_messageCount = qMax<qint64>(m_messageCount - 1, 0);
        return true;
    }
    return false;
}

bool ImapCommandTracker::noteUidValidity(const ImapResponse &response, const Command &owner)
{
    if (response.status != ImapStatus::Ok || !response.code.startsWith("UIDVALIDITY ") || !owner
        || owner->kind != ImapPendingCommand::Kind::Select)
        return false;
    bool ok = false;
    const qint64 value = response.code.mid(12).trimmed().toLongLong(&ok);
    owner->selectedUidValidity = ok && value > 0 ? value : -1;
    return true;
}

ImapCommandTracker::Command ImapCommandTracker::oldest() const
{
    return m_outstanding.empty() ? Command() : m_outstanding.front();
}

// Untagged data belongs to the oldest unanswered command, except message data: a server may run
// several FETCH commands at once (Dovecot does) and send "* 5 FETCH (... BODY[] ...)" before the
// OK of the FETCH for message 4. Such data goes to the FETCH that asked for that message. Two
// FETCHes of one message may be in flight (one sent ahead and given up, then asked again): each
// gets one body, the older first, as the server answers them in the order they were sent.
ImapCommandTracker::Command ImapCommandTracker::ownerOf(const ImapResponse &response) const
{
    if (response.keyword != "FETCH" || response.number <= 0 || !carriesMessageData(response))
        return oldest();
    const qint64 uid = fetchResponseUid(response);
    for (const Command &command : m_outstanding) {
        const bool forNumber = command->kind == ImapPendingCommand::Kind::Fetch && command->fetchNumber == response.number;
        const bool forUid = uid > 0 && command->kind == ImapPendingCommand::Kind::UidFetch && command->fetchNumber == uid;
        if ((forNumber || forUid) && !command->hadBody)
            return command;
    }
    return oldest();
}

bool ImapCommandTracker::carriesBody(const ImapResponse &response)
{
    const QList<ImapValue> &items = response.values.first().items;
    for (qsizetype i = 0; i < items.size(); i += 2) {
        if (items[i].text.toUpper() == "BODY[]")
            return true;
    }
    return false;
}

bool ImapCommandTracker::carriesMessageData(const ImapResponse &response)
{
    if (response.values.isEmpty() || response.values.first().kind != ImapValue::Kind::List)
        return false;
    const QList<ImapValue> &items = response.values.first().items;
    for (qsizetype i = 0; i < items.size(); i += 2) {
        const QByteArray name = items[i].text.toUpper();
        if (name == "BODY[]" || name == "INTERNALDATE")
            return true;
    }
    return false;
}
