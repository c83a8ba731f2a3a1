#include "mime/MimeLibrary.h"
#include "mime/MailMessage.h"

#include "mime/MimeAttachments.h"
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

// The mailboxes of an address header, groups flattened, those with neither name nor address
// left out; nothing when the header is absent or names no mailbox.
QVector<MailAddress> headerMailboxes(const QByteArray &raw)
{
    const QByteArray unfolded = unfoldHeader(raw);
    GObjectPtr<InternetAddressList> list(
        internet_address_list_parse(mimeParserOptions(), unfolded.constData()));
    std::vector<InternetAddressMailbox *> mailboxes;
    collectMailboxes(list.get(), mailboxes);
    QVector<MailAddress> out;
    for (InternetAddressMailbox *mailbox : mailboxes) {
        MailAddress address{mailboxName(mailbox), mailboxAddress(mailbox)};
        if (!address.address.isEmpty() || !address.name.isEmpty())
            out.append(std::move(address));
    }
    return out;
}

QVector<MailAddress> addressHeader(GMimeObject *message, const char *name)
{
    const std::optional<QByteArray> raw = rawHeader(message, name);
    return raw ? headerMailboxes(*raw) : QVector<MailAddress>();
}

// "Name <address>" for each mailbox, the address alone when there is no name, joined by ", ".
// When GMime finds no mailbox at all, the header's own text stands in, with no name or address.
void readSender(GMimeObject *message, MessageEntry &out)
{
    const std::optional<QByteArray> raw = rawHeader(message, "From");
    if (!raw)
        return;
    const QVector<MailAddress> mailboxes = headerMailboxes(*raw);
    if (!mailboxes.isEmpty()) {
        out.FromName = mailboxes.first().name;
        out.FromAddress = mailboxes.first().address;
    }
    out.From = mailboxes.isEmpty() ? decodeHeaderText(*raw) : shownMailboxes(mailboxes).join(QStringLiteral(", "));
}

// The id between the angle brackets; the whole trimmed text when it has none.
QString messageId(GMimeObject *message)
{
    const std::optional<QByteArray> raw = rawHeader(message, "Message-ID");
    if (!raw)
        return QString();
    QString id = QString::fromUtf8(unfoldHeader(*raw)).trimmed();
    const qsizetype open = id.indexOf(QLatin1Char('<'));
    const qsizetype close = id.indexOf(QLatin1Char('>'), open + 1);
    if (open >= 0 && close > open)
        id = id.mid(open + 1, close - open - 1);
    return id.trimmed();
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
    out.To = addressHeader(object, "To");
    out.Cc = addressHeader(object, "Cc");
    out.MessageId = messageId(object);
    if (const auto subject = rawHeader(object, "Subject"))
        out.Subject = decodeHeaderText(*subject);
    if (const auto date = headerDate(object))
        out.ReceivedDateTime = *date;

    GMimeObject *root = g_mime_message_get_mime_part(message.get());
    const MimeTextBodies bodies = findTextBodies(root);
    out.PlainTextBody = bodies.plain.value_or(QString());
    out.HTMLTextBody = bodies.html.value_or(QString());
    out.InlinePictures = referencedPictures(root, out.HTMLTextBody);
    out.Attachments = findAttachments(root, bodies, out.InlinePictures);
}

} // namespace

QString shownMailbox(const MailAddress &mailbox)
{
    if (mailbox.name.isEmpty())
        return mailbox.address;
    if (mailbox.address.isEmpty())
        return mailbox.name;
    return mailbox.name + QStringLiteral(" <") + mailbox.address + QLatin1Char('>');
}

QStringList shownMailboxes(const QVector<MailAddress> &mailboxes)
{
    QStringList shown;
    for (const MailAddress &mailbox : mailboxes)
        shown << shownMailbox(mailbox);
    return shown;
}

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
