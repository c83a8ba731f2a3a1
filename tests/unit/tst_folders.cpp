// Turning a mailbox listing into folder captions and labels, and a folder choice into the
// mailbox a download reads.

#include "core/AppGlobals.h"
#include "mail/Folders.h"
#include "imap/ImapClient.h"

#include <QtTest>

namespace {

MailboxInfo box(const QString &name, const QStringList &attributes = {})
{
    MailboxInfo info;
    info.name = name;
    info.attributes = attributes;
    info.delimiter = QStringLiteral("/");
    return info;
}

const QStringList kStartCaptions = {"Inbox", "All Mail", "Drafts", "Sent Mail",
                                    "Spam",  "Starred",  "Trash",  "Important"};

QList<bool> onlySelected(int index)
{
    QList<bool> selected(8, false);
    if (index >= 0)
        selected[index] = true;
    return selected;
}

}  // namespace

class TestFolders : public QObject {
    Q_OBJECT
private slots:
    void init() { globals() = AppGlobals(); }
    void specialFoldersKeepTheServersOrder();
    void onlySevenSpecialFoldersAreStored();
    void fewerFoldersKeepOlderNames();
    void labelsExcludeInboxButKeepOtherSpellings();
    void labelsAreReplacedOnlyWhenSomeAreFound();
    void localisedAndGoogleMailPrefixesAreSpecial();
    void nestedGmailTextIsALabel();
    void mailboxChoice();
};

void TestFolders::specialFoldersKeepTheServersOrder()
{
    const QList<MailboxInfo> listed = {
        box("INBOX"),
        box("[Gmail]", {"\\Noselect"}),
        box("[Gmail]/All Mail", {"\\All"}),
        box("[Gmail]/Drafts", {"\\Drafts"}),
        box("[Gmail]/Important", {"\\Important"}),
        box("[Gmail]/Sent Mail", {"\\Sent"}),
        box("[Gmail]/Spam", {"\\Junk"}),
        box("[Gmail]/Starred", {"\\Flagged"}),
        box("[Gmail]/Trash", {"\\Trash"}),
        box("Work"),
    };
    storeFolderListing(classifyMailboxes(listed));
    const QStringList expected = {"", "All Mail", "Drafts", "Important", "Sent Mail",
                                  "Spam", "Starred", "Trash"};
    QCOMPARE(globals().GmailFolderNames, expected);
    QCOMPARE(globals().GmailFolderMailboxes[3], QStringLiteral("[Gmail]/Important"));
    // The bare parent is a label, as the server lists it.
    QCOMPARE(globals().LabelNames, (QStringList{"[Gmail]", "Work"}));
    // The third option (designed as "Sent Mail") now shows and downloads Important.
    QStringList captions = kStartCaptions;
    for (int i = 1; i <= 7; ++i)
        captions[i] = globals().GmailFolderNames[i];
    QCOMPARE(chooseMailboxName(QString(), onlySelected(3), captions),
             QStringLiteral("[Gmail]/Important"));
}

void TestFolders::onlySevenSpecialFoldersAreStored()
{
    QList<MailboxInfo> listed;
    for (int i = 1; i <= 9; ++i)
        listed << box(QStringLiteral("[Gmail]/F%1").arg(i));
    storeFolderListing(classifyMailboxes(listed));
    QCOMPARE(globals().GmailFolderNames.size(), 8);
    QCOMPARE(globals().GmailFolderNames[7], QStringLiteral("F7"));
    QVERIFY(!globals().GmailFolderNames.contains("F8"));
}

void TestFolders::fewerFoldersKeepOlderNames()
{
    storeFolderListing(classifyMailboxes({box("[Gmail]/A"), box("[Gmail]/B"), box("[Gmail]/C")}));
    storeFolderListing(classifyMailboxes({box("[Gmail]/X")}));
    QCOMPARE(globals().GmailFolderNames, (QStringList{"", "X", "B", "C", "", "", "", ""}));
    // An option without a listed folder still asks for "[Gmail]/" and its caption.
    QCOMPARE(chooseMailboxName(QString(), onlySelected(5), globals().GmailFolderNames),
             QStringLiteral("[Gmail]/"));
}

void TestFolders::labelsExcludeInboxButKeepOtherSpellings()
{
    const FolderListing listing =
        classifyMailboxes({box("INBOX"), box("Inbox"), box("Reçus"), box("Family/Kids")});
    QCOMPARE(listing.labels, (QStringList{"Inbox", "Reçus", "Family/Kids"}));
    QVERIFY(listing.specialCaptions.isEmpty());
}

void TestFolders::labelsAreReplacedOnlyWhenSomeAreFound()
{
    storeFolderListing(classifyMailboxes({box("One"), box("Two")}));
    storeFolderListing(classifyMailboxes({box("INBOX"), box("[Gmail]/Spam")}));
    QCOMPARE(globals().LabelNames, (QStringList{"One", "Two"}));
    storeFolderListing(classifyMailboxes({box("Three")}));
    QCOMPARE(globals().LabelNames, (QStringList{"Three"}));
}

void TestFolders::localisedAndGoogleMailPrefixesAreSpecial()
{
    const FolderListing listing = classifyMailboxes({
        box("[Google Mail]/Gesendet", {"\\Sent"}),
        box("[gmail]/Papierkorb"),
        box("Archiv", {"\\All"}),
    });
    QCOMPARE(listing.specialCaptions, (QStringList{"Gesendet", "Papierkorb", "Archiv"}));
    QCOMPARE(listing.specialMailboxes,
             (QStringList{"[Google Mail]/Gesendet", "[gmail]/Papierkorb", "Archiv"}));
    storeFolderListing(listing);
    QStringList captions = kStartCaptions;
    captions[1] = "Gesendet";
    QCOMPARE(chooseMailboxName(QString(), onlySelected(1), captions),
             QStringLiteral("[Google Mail]/Gesendet"));
}

void TestFolders::nestedGmailTextIsALabel()
{
    const FolderListing listing = classifyMailboxes({box("Projects/[Gmail]/Old")});
    QCOMPARE(listing.labels, (QStringList{"Projects/[Gmail]/Old"}));
}

void TestFolders::mailboxChoice()
{
    QCOMPARE(chooseMailboxName(QString(), onlySelected(0), kStartCaptions), QStringLiteral("Inbox"));
    QCOMPARE(chooseMailboxName(QString(), onlySelected(4), kStartCaptions), QStringLiteral("[Gmail]/Spam"));
    QCOMPARE(chooseMailboxName(QStringLiteral("Work"), onlySelected(4), kStartCaptions), QStringLiteral("Work"));
    QCOMPARE(chooseMailboxName(QString(), onlySelected(-1), kStartCaptions), QString());
    QList<bool> two = onlySelected(2);
    two[6] = true;
    QCOMPARE(chooseMailboxName(QString(), two, kStartCaptions), QStringLiteral("[Gmail]/Drafts"));
}

QTEST_GUILESS_MAIN(TestFolders)
#include "tst_folders.moc"
