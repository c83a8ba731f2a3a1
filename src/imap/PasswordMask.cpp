#include "imap/PasswordMask.h"

#include <QList>

namespace {

constexpr qsizetype shortestPassword = 3;
constexpr qsizetype shortestWord = 4;
constexpr qsizetype longPiece = 8;

bool isWordCharacter(const QString &text, qsizetype i)
{
    return i >= 0 && i < text.size() && text.at(i).isLetterOrNumber();
}

// Marks in `masked` the characters of every piece of the text that gives the password away.
// run is the longest piece starting at i that occurs in the password; the one starting at i + 1
// is at least one shorter, so each step starts from there.
QList<bool> piecesToMask(const QString &text, const QString &password)
{
    const qsizetype anywhere = qMin(password.size(), qBound(shortestWord, password.size() / 2 + 1, longPiece));
    const qsizetype asWord = qMin(password.size(), shortestWord);
    QList<bool> masked(text.size(), false);
    const QStringView view(text);
    qsizetype run = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        run = qMax<qsizetype>(run - 1, 0);
        while (i + run < text.size() && password.contains(view.mid(i, run + 1)))
            ++run;
        qsizetype end = i;
        if (run >= anywhere) {
            end = i + run;
        } else if (run >= asWord && !isWordCharacter(text, i - 1)) {
            for (qsizetype j = i + run; j >= i + asWord && end == i; --j) {
                if (!isWordCharacter(text, j))
                    end = j;
            }
        }
        for (qsizetype k = i; k < end; ++k)
            masked[k] = true;
    }
    return masked;
}

}  // namespace

QString maskPasswordPieces(const QString &text, const QString &password)
{
    if (password.isEmpty())
        return text;
    if (password.size() < shortestPassword)
        return QStringLiteral("(text withheld)");
    const QList<bool> masked = piecesToMask(text, password);
    QString result;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!masked[i])
            result += text.at(i);
        else if (i == 0 || !masked[i - 1])
            result += QStringLiteral("***");
    }
    return result;
}
