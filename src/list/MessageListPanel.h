#pragma once
// The message list as a window shows it: the list, its two totals labels, the four selection
// buttons and the window's selection-pass flag. The main window and the larger list window
// each build these controls at their own places and attach one panel to them, so both follow
// the same rules. Error reports name the window the panel was attached to and the clicked
// button ("Form4.PushButton10_Click").

#include <QObject>
#include <QString>

class MessageListView;
class QLabel;
class QPushButton;

struct MessageListPanelControls {
    MessageListView *list = nullptr;
    QLabel *totalLabel = nullptr;     // "Total Number Of Emails: "
    QLabel *selectedLabel = nullptr;  // "Selected Emails: "
    QPushButton *checkAll = nullptr;
    QPushButton *uncheckAll = nullptr;
    QPushButton *checkContaining = nullptr;
    QPushButton *checkNotContaining = nullptr;
};

class MessageListPanel : public QObject {
    Q_OBJECT
public:
    // Wires the buttons' clicks and the user's ticks; `windowName` names the window in error
    // reports, each button's object name the procedure.
    MessageListPanel(QObject *parent, QString windowName, const MessageListPanelControls &controls);

    const MessageListPanelControls &controls() const { return m_controls; }
    MessageListView *list() const { return m_controls.list; }

    // RefreshTotals on this panel's list and labels.
    void refreshTotals(bool reset);

    // Whether a text pass has ticked a row since the last reset (see SelectionTools.h).
    bool selectionPassFlag() const { return m_selectionPassFlag; }
    void resetSelectionPass() { m_selectionPassFlag = false; }

    // The four buttons' click handlers.
    void checkAllClick();
    void uncheckAllClick();
    void checkContainingClick();
    void checkNotContainingClick();

private:
    void setAllRows(QPushButton *button, bool checked);
    void checkRowsByText(QPushButton *button, bool containing);
    QString procedureName(const QPushButton *button) const;

    QString m_windowName;
    MessageListPanelControls m_controls;
    bool m_selectionPassFlag = false;
};

// The totals labels' white background.
void setTotalsLabelWhite(QLabel *label);
