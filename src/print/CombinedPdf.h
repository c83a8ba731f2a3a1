#pragma once
// One PDF for a whole run: each message's PDF is added as it is printed, its pages after those
// before it, with a bookmark to its first page. Each message's pages and what they use go
// straight to a file in the private temporary folder, renumbered; what stays in memory is a
// few numbers per object and each message's bookmark, so a run of thousands of messages takes
// no more memory than one of ten, and holds one file open. The file goes when the object does.

#include <QString>
#include <QStringList>

#include <memory>
#include <string>

class QByteArray;

class CombinedPdf {
public:
    explicit CombinedPdf();
    ~CombinedPdf();
    CombinedPdf(const CombinedPdf &) = delete;
    CombinedPdf &operator=(const CombinedPdf &) = delete;

    // Appends the pages of `pdf` with an outline entry `bookmark`. False with the reason when
    // the PDF cannot be read or spooled; the document stays as it was.
    bool add(const QByteArray &pdf, const QString &bookmark, QString *error);
    int messages() const;

    // Writes the document with `title` as its title to `targetPath`, or to "target (2).pdf" …
    // when that name is taken; never over an existing file. A file left half-written is removed.
    bool finish(const QString &targetPath, const QString &title, QString *writtenPath, QString *error);

private:
    struct State;
    std::unique_ptr<State> state_;
};

// The pieces of a PDF text string: plain bytes for ASCII, otherwise UTF-16BE after the byte
// order mark.
std::string pdfTextString(const QString &text);
