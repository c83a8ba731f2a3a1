#include "app/MessageFilters.h"

#include "app/MainWindowControls.h"
#include "core/MessageBox.h"
#include "core/Procedure.h"
#include "core/SettingsStore.h"

#include <QLabel>
#include <QPushButton>

namespace {

// Where the provider explains labels.
const QString kLabelHelpAddress = QStringLiteral("https://support.google.com/mail/answer/118708");

void charactersHelp()
{
    Procedure p(QStringLiteral("Form1"), QStringLiteral("PushButton15_Click"));
    p(100, [&] {
        showMessage(QStringLiteral("Search feature. This feature will allow you to only show emails "
                                   "containing certain text so that you do not have to look at all "
                                   "the emails in the folder."));
    });
}

void labelHelp()
{
    Procedure p(QStringLiteral("Form1"), QStringLiteral("PushButton16_Click"));
    p(100, [&] {
        showMessage(QStringLiteral("This feature will allow you to show only emails that are "
                                   "associated with a certain label. \r\n\r\nIf you are new to "
                                   "Gmail and do not know what a label is, see ")
                    + kLabelHelpAddress);
    });
}

}  // namespace

MessageFilters::MessageFilters(const MainWindowControls &controls, std::function<bool()> connected)
    : QObject(controls.mainWindow),
      m_window(controls.mainWindow),
      m_connected(std::move(connected)),
      m_characters{FilterWindow::Kind::Characters, controls.Label3, QString()},
      m_label{FilterWindow::Kind::Label, controls.Label4, QString()}
{
    connect(controls.PushButton14, &QPushButton::clicked, this,
            [this] { openWindow(m_characters, "PushButton14_Click"); });
    connect(controls.PushButton13, &QPushButton::clicked, this,
            [this] { openWindow(m_label, "PushButton13_Click"); });
    connect(controls.PushButton17, &QPushButton::clicked, this,
            [this] { clear(m_characters, "PushButton17_Click"); });
    connect(controls.PushButton18, &QPushButton::clicked, this,
            [this] { clear(m_label, "PushButton18_Click"); });
    connect(controls.PushButton15, &QPushButton::clicked, this, charactersHelp);
    connect(controls.PushButton16, &QPushButton::clicked, this, labelHelp);
}

void MessageFilters::Filter::show() const
{
    const bool characters = kind == FilterWindow::Kind::Characters;
    if (value.isEmpty())
        shownOn->setText(characters ? QStringLiteral("No Character Filter set") : QStringLiteral("No Label Filter set"));
    else
        shownOn->setText((characters ? QStringLiteral("Character Filter: ") : QStringLiteral("Label Filter: ")) + value);
}

void MessageFilters::showNone()
{
    for (const Filter *filter : {&m_characters, &m_label})
        Filter{filter->kind, filter->shownOn, QString()}.show();
}

void MessageFilters::restoreStored(Procedure &p)
{
    p(116, [&] {
        m_characters.value = getSetting(FilterWindow::settingName(m_characters.kind));
        m_label.value = getSetting(FilterWindow::settingName(m_label.kind));
    });
    if (p.test(118, [&] { return !m_characters.value.isEmpty(); }))
        p(120, [&] { m_characters.show(); });
    if (p.test(122, [&] { return !m_label.value.isEmpty(); }))
        p(124, [&] { m_label.show(); });
}

void MessageFilters::openWindow(Filter &filter, const char *procedure)
{
    Procedure p(QStringLiteral("Form1"), QLatin1String(procedure));
    if (p.test(100, [&] { return !m_connected(); })) {
        p(102, [&] { showMessage(QStringLiteral("Please connect first (Step 1) before using this feature.")); });
        return;
    }
    FilterWindow window(filter.kind, filter.value, m_window);
    p(104, [&] {
        window.exec();
        filter.value = window.filter;
    });
    if (p.test(106, [&] { return filter.value.isEmpty(); }))
        p(108, [&] { filter.show(); });
    else
        p(110, [&] { filter.show(); });
}

void MessageFilters::clear(Filter &filter, const char *procedure)
{
    Procedure p(QStringLiteral("Form1"), QLatin1String(procedure));
    p(100, [&] { filter.value.clear(); });
    p(102, [&] { saveSetting(FilterWindow::settingName(filter.kind), QString()); });
    p(104, [&] { filter.show(); });
}
