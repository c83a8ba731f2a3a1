#include "print/MessageHtml.h"

#include <QRegularExpression>

QString plainTextAsHtml(const QString &text)
{
    return QStringLiteral("<div class=\"plain-text\" style=\"white-space: pre-wrap; "
                          "overflow-wrap: anywhere;\">")
           + text.toHtmlEscaped() + QStringLiteral("</div>");
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
