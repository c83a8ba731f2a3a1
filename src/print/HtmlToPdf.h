#pragma once
// Turns a rendered HTML page into a PDF with vector, searchable text, through a hidden web
// page of its own. The page file may have any name (it is always read as HTML, the files
// beside it as what their names say); scripts never run. Loading the page and writing the PDF
// each wait at most a given time, through the program's one waiting facility.

#include "platform/Wait.h"

#include <QObject>
#include <QPageLayout>
#include <QString>

class QWebEnginePage;
class QWebEngineProfile;
namespace platform { class HtmlFileSchemeHandler; }

class HtmlPdfRenderer : public QObject {
    Q_OBJECT
public:
    explicit HtmlPdfRenderer(QObject *parent = nullptr);
    ~HtmlPdfRenderer() override;

    struct Outcome {
        bool ok = false;
        QString error;  // what went wrong, for the user and the error log
    };

    static constexpr int DefaultLimitMs = 60000;

    // Writes the page at `htmlPath` as a PDF at `pdfPath`, laid out by `layout`. A call made
    // while another is still waiting (a click inside the wait) is refused.
    Outcome render(const QString &htmlPath, const QString &pdfPath, const QPageLayout &layout,
                   int limitMs = DefaultLimitMs);

    // A4 portrait with 10 mm margins, the layout used when the user chose none.
    static QPageLayout defaultLayout();

private:
    // Waits until `finished` (set by the page's report through `report`) or the limit.
    platform::WaitOutcome waitFor(const bool &finished, int limitMs,
                                  const QMetaObject::Connection &report);
    platform::WaitOutcome load(const QString &htmlPath, int limitMs, bool *loaded);
    platform::WaitOutcome print(const QString &pdfPath, const QPageLayout &layout, int limitMs,
                                bool *printed);

    QWebEngineProfile *m_profile = nullptr;
    platform::HtmlFileSchemeHandler *m_files = nullptr;
    QWebEnginePage *m_page = nullptr;
    platform::Lifetime m_life;
    bool m_busy = false;
};
