// Crafted messages through the whole road: parsed, kept as a message entry, rendered into the
// page file and shown in the real browser view. What the view received is read back from the
// PDF it prints.

#include "TestFiles.h"
#include "TestPrintServer.h"
#include "WindowTests.h"
#include "core/ErrorLog.h"
#include "mime/MailMessage.h"
#include "platform/BrowserView.h"
#include "platform/MessagePageScheme.h"
#include "platform/ScriptedDialogs.h"
#include "platform/Wait.h"
#include "print/Form3.h"

#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

bool waitFor(const std::function<bool()> &done)
{
    platform::Deadline limit(30000);
    platform::WaitPlan plan;
    plan.done = done;
    plan.deadline = &limit;
    return platform::waitUntil(plan) == platform::WaitOutcome::Done;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Headers that announce 20000 x 20000 pixels; nothing may decode them.
const QByteArray hugeWebp = QByteArray("RIFF\x16\0\0\0WEBPVP8X\x0a\0\0\0\0\0\0\0\x1f\x4e\0\x1f\x4e\0", 30);
const QByteArray hugeGif = QByteArray("GIF89a\x20\x4e\x20\x4e\0\0\0,\0\0\0\0\x20\x4e\x20\x4e\0\x02\x02\x4c\x01\0;", 29);

// A related message: `html`, then one part per picture with Content-ID <pN@x> (N from 1).
QByteArray related(const QByteArray &subject, const QByteArray &html, const QList<QByteArray> &pictures)
{
    QByteArray raw = "From: Ann <ann@example.com>\r\nSubject: " + subject
                     + "\r\nContent-Type: multipart/related; boundary=r\r\n\r\n--r\r\n"
                       "Content-Type: text/html; charset=utf-8\r\n\r\n" + html + "\r\n";
    for (int i = 0; i < pictures.size(); ++i)
        raw += "--r\r\nContent-Type: application/octet-stream\r\nContent-ID: <p" + QByteArray::number(i + 1)
               + "@x>\r\nContent-Transfer-Encoding: base64\r\n\r\n" + pictures[i].toBase64() + "\r\n";
    return raw + "--r--\r\n";
}

MessageEntry entryOf(const QByteArray &raw)
{
    MessageEntry m = parseMailMessage(raw, QDateTime::currentDateTime());
    m.ReceivedDate = QStringLiteral("1/2/2021");
    return m;
}

}  // namespace

class TestPagePictures : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void aPictureNamedOftenIsWrittenAndServedOnce();
    void picturesBeyondTheBoundShowAPlaceholder();
    void aPageShowsNoPictureOfTheOneBefore();
    void theNextPageShowsItsOwnPictureNotTheOneRemembered();

private:
    QStringList shownPictureSizes(Form3 &form);
    std::unique_ptr<Form3> show(const QVector<MessageEntry> &entries);
    QTemporaryDir m_programDir;
    QTemporaryDir m_temp;
    platform::ScriptedDialogs m_dialogs;
};

void TestPagePictures::initTestCase()
{
    qputenv("TEMP", m_temp.path().toUtf8());
    prepareWindowTests(m_programDir.path(), PageResources::With);
}

std::unique_ptr<Form3> TestPagePictures::show(const QVector<MessageEntry> &entries)
{
    auto form = std::make_unique<Form3>(entries);
    form->PrintAsHTML = true;
    form->Form_Load();
    return form;
}

QStringList TestPagePictures::shownPictureSizes(Form3 &form)
{
    platform::BrowserView *view = form.WebBrowser1;
    if (!waitFor([view] { return view->ReadyState() == 4 && !view->Busy(); }))
        return {QStringLiteral("page not loaded")};
    QByteArray pdf;
    view->page()->printToPdf([&](const QByteArray &b) { pdf = b; });
    waitFor([&] { return !pdf.isEmpty(); });
    QStringList sizes = pdfImageSizes(pdf);
    sizes.removeAll(QStringLiteral("232x48"));  // the logo
    sizes.removeDuplicates();
    sizes.sort();
    return sizes;
}

void TestPagePictures::aPictureNamedOftenIsWrittenAndServedOnce()
{
    const QByteArray picture = noisyPng(120, 80);
    const QByteArray raw = related("Often", QByteArray("<img src=\"cid:p1@x\">").repeated(500), {picture});
    auto form = show({entryOf(raw)});
    QCOMPARE(shownPictureSizes(*form), QStringList({"120x80"}));
    // The page holds short addresses, not 500 copies of the picture.
    QVERIFY2(readAll(form->htmlFilePath()).size() < raw.size(), qPrintable(QString::number(raw.size())));
    const QDir folder(platform::pagePicturesFolder(form->htmlFilePath()));
    QCOMPARE(folder.entryList(QDir::Files).size(), 1);
    QCOMPARE(readAll(folder.filePath(folder.entryList(QDir::Files).first())), picture);
}

void TestPagePictures::picturesBeyondTheBoundShowAPlaceholder()
{
    const QByteArray html = "<img src=\"cid:p1@x\"><img src=\"cid:p2@x\"><img src=\"cid:p1@x\">"
                            "<img src=\"data:image/gif;base64," + hugeGif.toBase64() + "\">";
    QFile::remove(errorLogPath());
    auto form = show({entryOf(related("Huge pictures", html, {hugeWebp, noisyPng(30, 20)}))});
    QCOMPARE(shownPictureSizes(*form), QStringList({"260x36", "30x20"}));  // placeholder, small picture
    QVERIFY(!readAll(form->htmlFilePath()).contains(hugeGif.toBase64()));
    const QString log = QString::fromUtf8(readAll(errorLogPath()));
    QCOMPARE(log.count(QStringLiteral("subject \"Huge pictures\"")), 2);  // one per refused picture
    QVERIFY2(log.count(QStringLiteral("20000 x 20000 pixels")) == 2, qPrintable(log));
}

void TestPagePictures::aPageShowsNoPictureOfTheOneBefore()
{
    auto first = show({entryOf(related("First", "<img src=\"cid:p1@x\">", {noisyPng(40, 10)}))});
    QCOMPARE(shownPictureSizes(*first), QStringList({"40x10"}));
    const QString earlier = QDir(platform::pagePicturesFolder(first->htmlFilePath())).entryList(QDir::Files).first();
    const QString address = platform::messagePageUrl(platform::pagePicturesFolder(first->htmlFilePath()) + "/" + earlier).toString();
    const QByteArray html = "<img src=\"" + address.toUtf8() + "\"><img src=\"cid:p1@x\">";
    auto second = show({entryOf(related("Second", html, {"<html>not a picture</html>"}))});
    // At most the broken-picture sign: neither the earlier page's picture nor a non-picture part.
    const QStringList shown = shownPictureSizes(*second);
    QVERIFY2(shown.size() <= 1 && !shown.contains("40x10"), qPrintable(shown.join(' ')));
}

void TestPagePictures::theNextPageShowsItsOwnPictureNotTheOneRemembered()
{
    // Both pages are written to the same file with a picture in the same place; the view keeps
    // its renderer, and with it whatever it loaded for the page before.
    const QByteArray html = "<img src=\"cid:p1@x\">";
    auto form = show({entryOf(related("One", html, {noisyPng(40, 10)})), entryOf(related("Two", html, {noisyPng(30, 20)}))});
    QCOMPARE(shownPictureSizes(*form), QStringList({"40x10"}));
    form->PushButton5->click();  // the next message
    QCOMPARE(shownPictureSizes(*form), QStringList({"30x20"}));
}

QTEST_MAIN(TestPagePictures)
#include "tst_pagepictures.moc"
