#pragma once
// The "Filter Options" frame: the character filter and the label filter, their windows, their
// "Clear Filter" and "?" buttons and the two labels that show them. A filter window opens only
// while connected (the connection answers); connecting restores both filters.

#include "list/FilterWindow.h"

#include <QObject>
#include <functional>

class Procedure;
class QLabel;
struct MainWindowControls;

class MessageFilters : public QObject {
    Q_OBJECT
public:
    MessageFilters(const MainWindowControls &controls, std::function<bool()> connected);

    const QString &characters() const { return m_characters.value; }
    const QString &label() const { return m_label.value; }
    void setCharacters(const QString &filter) { m_characters.value = filter; }
    void setLabel(const QString &filter) { m_label.value = filter; }

    // The stored filters, shown: statements 116 ... 124 of the connect.
    void restoreStored(Procedure &p);
    void showNone();

private:
    struct Filter {
        FilterWindow::Kind kind;
        QLabel *shownOn;
        QString value;
        void show() const;
    };
    void openWindow(Filter &filter, const char *procedure);
    static void clear(Filter &filter, const char *procedure);

    QWidget *m_window;
    std::function<bool()> m_connected;
    Filter m_characters;
    Filter m_label;
};
