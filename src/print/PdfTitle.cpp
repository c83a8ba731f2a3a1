#include "print/PdfTitle.h"

#include <QFile>
#include <QRegularExpression>
#include <QVector>

QByteArray pdfUtf16Text(const QString &text)
{
    QByteArray utf16("\xFE\xFF", 2);
    for (const QChar c : text) {
        utf16 += char(c.unicode() >> 8);
        utf16 += char(c.unicode() & 0xFF);
    }
    return utf16;
}

namespace {

// A PDF text string in hex, so that no byte of it needs escaping.
QByteArray pdfTextString(const QString &text)
{
    return '<' + pdfUtf16Text(text).toHex().toUpper() + '>';
}

struct Trailer {
    QByteArray size, root, info;  // "71", "20 0", "1 0"
    qint64 startXref = -1;
};

QByteArray capture(const QString &text, const QString &pattern)
{
    const QRegularExpressionMatch m = QRegularExpression(pattern).match(text);
    return m.hasMatch() ? m.captured(1).toLatin1() : QByteArray();
}

Trailer readTrailer(const QString &tail)
{
    Trailer t;
    const qsizetype at = tail.lastIndexOf(QLatin1String("trailer"));
    if (at < 0)
        return t;
    const QString dictionary = tail.mid(at);
    t.size = capture(dictionary, QStringLiteral("/Size\\s+(\\d+)"));
    t.root = capture(dictionary, QStringLiteral("/Root\\s+(\\d+\\s+\\d+)\\s+R"));
    t.info = capture(dictionary, QStringLiteral("/Info\\s+(\\d+\\s+\\d+)\\s+R"));
    const QByteArray xref = capture(dictionary, QStringLiteral("startxref\\s+(\\d+)"));
    t.startXref = xref.isEmpty() ? -1 : xref.toLongLong();
    return t;
}

// The document information entries to set, each replacing one the PDF has.
struct InfoEntry {
    const char *key;  // "Title"
    QString value;
};

// The entries of the old information dictionary without those about to be set anew.
QByteArray keptEntries(QString entries, const QVector<InfoEntry> &set)
{
    for (const InfoEntry &entry : set) {
        const QRegularExpression old(QStringLiteral("/%1\\s*(\\([^)]*\\)|<[^>]*>)").arg(QLatin1String(entry.key)));
        entries.remove(old);
    }
    return entries.toLatin1();
}

// The update that sets the information entries of the PDF `content` (in Latin-1, one character
// per byte, so that offsets in the text are offsets in the file); empty when `content` is not a
// PDF this can update.
QByteArray infoUpdate(const QString &content, const QVector<InfoEntry> &set)
{
    const Trailer t = readTrailer(content.right(1024));
    if (t.size.isEmpty() || t.root.isEmpty() || t.startXref < 0)
        return {};
    QByteArray entries;
    QByteArray object = t.info;
    if (!object.isEmpty()) {
        const QString pattern = QStringLiteral("(?:^|\\s)%1\\s+obj\\s*<<(.*?)>>\\s*endobj")
                                    .arg(QString::fromLatin1(object).replace(QLatin1Char(' '), QStringLiteral("\\s+")));
        const QRegularExpressionMatch m =
            QRegularExpression(pattern, QRegularExpression::DotMatchesEverythingOption).match(content);
        if (!m.hasMatch())
            return {};
        entries = keptEntries(m.captured(1), set);
    }
    QByteArray size = t.size;
    if (object.isEmpty()) {
        object = t.size + " 0";
        size = QByteArray::number(t.size.toLongLong() + 1);
    }
    QByteArray update = content.endsWith(QLatin1Char('\n')) ? QByteArray() : QByteArray("\n");
    const qint64 objectOffset = content.size() + update.size();
    update += object + " obj\n<<" + entries;
    for (const InfoEntry &entry : set)
        update += '/' + QByteArray(entry.key) + ' ' + pdfTextString(entry.value);
    update += ">>\nendobj\n";
    const qint64 xrefOffset = content.size() + update.size();
    const QList<QByteArray> number = object.split(' ');
    update += "xref\n" + number.at(0) + " 1\n"
        + QByteArray::number(objectOffset).rightJustified(10, '0') + ' '
        + number.at(1).rightJustified(5, '0') + " n \n";
    update += "trailer\n<</Size " + size + "/Root " + t.root + " R/Info " + object + " R/Prev "
        + QByteArray::number(t.startXref) + ">>\nstartxref\n" + QByteArray::number(xrefOffset)
        + "\n%%EOF\n";
    return update;
}

}  // namespace

bool setPdfTitle(const QString &pdfPath, const QString &title)
{
    QFile file(pdfPath);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    const QString content = QString::fromLatin1(file.readAll());
    const QByteArray update = infoUpdate(content, {{"Title", title}});
    if (update.isEmpty())
        return false;
    file.seek(file.size());
    if (file.write(update) != update.size() || !file.flush()) {
        file.resize(content.size());
        return false;
    }
    return true;
}

QByteArray pdfWithTitle(const QByteArray &pdf, const QString &title)
{
    return pdfWithInfo(pdf, title, QString());
}

QByteArray pdfWithInfo(const QByteArray &pdf, const QString &title, const QString &author)
{
    QVector<InfoEntry> set;
    if (!title.isEmpty())
        set.append({"Title", title});
    if (!author.isEmpty())
        set.append({"Author", author});
    if (set.isEmpty())
        return QByteArray();
    const QByteArray update = infoUpdate(QString::fromLatin1(pdf), set);
    return update.isEmpty() ? QByteArray() : pdf + update;
}
