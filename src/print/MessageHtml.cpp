#include "print/MessageHtml.h"

#include "print/BodyHtmlCleaner.h"

#include <QRegularExpression>

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
        QStringLiteral("%(From|Name|Address|Subject|Date|Message)%"));
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
        else
            out += body;
        copiedTo = match.capturedEnd();
    }
    out += QStringView(pageTemplate).mid(copiedTo);
    return out;
}
