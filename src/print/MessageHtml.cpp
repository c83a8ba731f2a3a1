#include "print/MessageHtml.h"

#include "print/BodyHtmlCleaner.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

namespace {

// A header row of the template's field table, or nothing for an empty value, so that a message
// without recipients or files shows no empty line. The value breaks between list items like
// running text, so a long list wraps instead of leaving the page.
QString fieldRow(const QString &label, const QStringList &items)
{
    if (items.isEmpty())
        return QString();
    return QStringLiteral("<tr><td class=\"qv-label\">") + label
           + QStringLiteral("</td><td class=\"qv-list\" style=\"overflow-wrap: anywhere;\">")
           + items.join(QStringLiteral(", ")).toHtmlEscaped() + QStringLiteral("</td></tr>");
}

QString addressRow(const QString &label, const QVector<MailAddress> &mailboxes)
{
    return fieldRow(label, shownMailboxes(mailboxes));
}

QString attachmentRow(const QVector<MailAttachment> &attachments)
{
    QStringList items;
    for (const MailAttachment &attachment : attachments)
        items << attachment.fileName + QStringLiteral(" (") + shownSize(attachment.size) + QLatin1Char(')');
    return fieldRow(QStringLiteral("Attachments:"), items);
}

}  // namespace

QString shownSize(qint64 bytes)
{
    if (bytes < 1024)
        return QString::number(std::max<qint64>(bytes, 0)) + (bytes == 1 ? QStringLiteral(" byte") : QStringLiteral(" bytes"));
    // Each unit until the number, rounded as shown, would reach 1024 of it.
    const qint64 kilobytes = qRound64(double(bytes) / 1024.0);
    if (kilobytes < 1024)
        return QString::number(kilobytes) + QStringLiteral(" KB");
    const double megabytes = double(bytes) / (1024.0 * 1024.0);
    if (megabytes < 1023.95)
        return QString::number(megabytes, 'f', 1) + QStringLiteral(" MB");
    return QString::number(megabytes / 1024.0, 'f', 1) + QStringLiteral(" GB");
}

QString plainTextAsHtml(const QString &text)
{
    return QStringLiteral("<div class=\"plain-text\" style=\"white-space: pre-wrap; "
                          "overflow-wrap: anywhere;\">")
           + text.toHtmlEscaped() + QStringLiteral("</div>");
}

QString isolatedHtmlBody(const QString &html)
{
    // Inline and !important: no rule of the page template can loosen these either.
    static const QString outerHost = QStringLiteral(
        "<div class=\"qv-message\" style=\"display: block !important; position: relative !important; "
        "contain: paint !important; overflow: hidden !important; box-sizing: border-box !important; "
        "width: -webkit-fit-content !important; width: fit-content !important; "
        "min-width: 100% !important; max-width: none !important; height: auto !important; "
        "margin: 0 !important; padding: 0 !important; border: 0 !important; "
        "visibility: visible !important; opacity: 1 !important; transform: none !important;\">"
        "<template shadowroot=\"open\"><div class=\"qv-message-inner\">"
        "<template shadowroot=\"open\">"
        // What the page template did for bodies before they had a tree of their own.
        "<style>img, table, div { max-width: 100%; } img { height: auto; } "
        "pre { white-space: pre-wrap; }</style>");
    static const QString close = QStringLiteral("</template></div></template></div>");
    return outerHost + cleanBodyHtml(html) + close;
}

QString fillMessageTemplate(const QString &pageTemplate, const MessageEntry &entry, const QString &body)
{
    static const QRegularExpression marker(
        QStringLiteral("%(From|Name|Address|Subject|Date|To|Cc|Attachments|Message)%"));
    QString out;
    out.reserve(pageTemplate.size() + body.size() + 256);
    qsizetype copiedTo = 0;
    for (auto it = marker.globalMatch(pageTemplate); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        out += QStringView(pageTemplate).mid(copiedTo, match.capturedStart() - copiedTo);
        const QStringView name = match.capturedView(1);
        if (name == QLatin1String("From"))
            out += entry.From.toHtmlEscaped();
        else if (name == QLatin1String("Name"))
            out += entry.FromName.toHtmlEscaped();
        else if (name == QLatin1String("Address"))
            out += entry.FromAddress.toHtmlEscaped();
        else if (name == QLatin1String("Subject"))
            out += entry.Subject.toHtmlEscaped();
        else if (name == QLatin1String("Date"))
            out += entry.ReceivedDate.toHtmlEscaped();
        else if (name == QLatin1String("To"))
            out += addressRow(QStringLiteral("To:"), entry.To);
        else if (name == QLatin1String("Cc"))
            out += addressRow(QStringLiteral("Cc:"), entry.Cc);
        else if (name == QLatin1String("Attachments"))
            out += attachmentRow(entry.Attachments);
        else
            out += body;
        copiedTo = match.capturedEnd();
    }
    out += QStringView(pageTemplate).mid(copiedTo);
    return out;
}
