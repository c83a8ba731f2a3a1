#include "mime/MimeLibrary.h"
#include "mime/MailMessage.h"

#include "mime/MimeBodies.h"
#include "mime/MimeInlineImages.h"
#include "mime/MimeHeaderText.h"

#include <QStringList>
#include <optional>
#include <vector>

namespace {

QString fromGChar(const char *text)
{
    return text ? QString::fromUtf8(text) : QString();
}

// The header as it stands in the message, folding still in; nothing when it is absent.
std::optional<QByteArray> rawHeader(GMimeObject *object, const char *name)
{
    GMimeHeader *header = g_mime_header_list_get_header(g_mime_object_get_header_list(object), name);
    if (!header)
        return std::nullopt;
    const char *value = g_mime_header_get_raw_value(header);
    return QByteArray(value ? value : "");
}

void collectMailboxes(InternetAddressList *list, std::vector<InternetAddressMailbox *> &out)
{
    const int count = list ? internet_address_list_length(list) : 0;
    for (int i = 0; i < count; ++i) {
        InternetAddress *address = internet_address_list_get_address(list, i);
        if (INTERNET_ADDRESS_IS_MAILBOX(address))
            out.push_back(INTERNET_ADDRESS_MAILBOX(address));
        else if (INTERNET_ADDRESS_IS_GROUP(address))
            collectMailboxes(internet_address_group_get_members(INTERNET_ADDRESS_GROUP(address)), out);
    }
}

QString mailboxName(InternetAddressMailbox *mailbox)
{
    return fromGChar(internet_address_get_name(INTERNET_ADDRESS(mailbox))).simplified();
}

QString mailboxAddress(InternetAddressMailbox *mailbox)
{
    return fromGChar(internet_address_mailbox_get_addr(mailbox)).trimmed();
}

// "Name <address>" for each mailbox, the address alone when there is no name, joined by ", ".
// When GMime finds no mailbox at all, the header's own text stands in, with no name or address.
void readSender(GMimeObject *message, MessageEntry &out)
{
    const std::optional<QByteArray> raw = rawHeader(message, "From");
    if (!raw)
        return;
    const QByteArray unfolded = unfoldHeader(*raw);
    GObjectPtr<InternetAddressList> list(
        internet_address_list_parse(mimeParserOptions(), unfolded.constData()));
    std::vector<InternetAddressMailbox *> mailboxes;
    collectMailboxes(list.get(), mailboxes);

    QStringList shown;
    for (InternetAddressMailbox *mailbox : mailboxes) {
        const QString name = mailboxName(mailbox);
        const QString address = mailboxAddress(mailbox);
        if (address.isEmpty() && name.isEmpty())
            continue;
        if (shown.isEmpty()) {
            out.FromName = name;
            out.FromAddress = address;
        }
        if (name.isEmpty())
            shown << address;
        else if (address.isEmpty())
            shown << name;
        else
            shown << name + QStringLiteral(" <") + address + QLatin1Char('>');
    }
    out.From = shown.isEmpty() ? decodeHeaderText(*raw) : shown.join(QStringLiteral(", "));
}

std::optional<QDateTime> headerDate(GMimeObject *message)
{
    const std::optional<QByteArray> raw = rawHeader(message, "Date");
    if (!raw)
        return std::nullopt;
    GDateTime *parsed = g_mime_utils_header_decode_date(unfoldHeader(*raw).constData());
    if (!parsed)
        return std::nullopt;
    const qint64 ms = qint64(g_date_time_to_unix(parsed)) * 1000
                      + g_date_time_get_microsecond(parsed) / 1000;
    g_date_time_unref(parsed);
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(ms, Qt::LocalTime);
    return local.isValid() ? std::optional<QDateTime>(local) : std::nullopt;
}

void readMessage(const QByteArray &raw, MessageEntry &out)
{
    GMimeParserOptions *options = mimeParserOptions();
    GObjectPtr<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(raw.constData(), size_t(raw.size())));
    GObjectPtr<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    g_mime_parser_set_format(parser.get(), GMIME_FORMAT_MESSAGE);
    GObjectPtr<GMimeMessage> message(g_mime_parser_construct_message(parser.get(), options));
    if (!message)
        return;
    GMimeObject *object = GMIME_OBJECT(message.get());

    readSender(object, out);
    if (const auto subject = rawHeader(object, "Subject"))
        out.Subject = decodeHeaderText(*subject);
    if (const auto date = headerDate(object))
        out.ReceivedDateTime = *date;

    GMimeObject *root = g_mime_message_get_mime_part(message.get());
    const MimeTextBodies bodies = findTextBodies(root);
    out.PlainTextBody = bodies.plain.value_or(QString());
    out.HTMLTextBody = bodies.html.value_or(QString());
    out.InlinePictures = referencedPictures(root, out.HTMLTextBody);
}

} // namespace

MessageEntry parseMailMessage(const QByteArray &raw, const QDateTime &internalDate)
{
    MessageEntry out;
    out.ReceivedDateTime = internalDate.isValid() ? internalDate.toLocalTime() : QDateTime();
    if (raw.isEmpty())
        return out;
    try {
        readMessage(raw, out);
    } catch (...) {
        // Only allocation failure can get here; what was read so far is still worth showing.
    }
    return out;
}
