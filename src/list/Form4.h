#pragma once
// The larger list window: a copy of the main window's list, as large as the screen, with its
// own totals, selection tools and selection-pass flag (a MessageListPanel). Closing it, by
// "< Back" or the close box, copies every row's tick back to the main list's row at the same
// position; "Clear List" empties both lists.

#include <QDialog>

class MessageListPanel;
class MessageListView;
class QLabel;
class QPushButton;

class Form4 : public QDialog {
    Q_OBJECT
public:
    // `mainList` is the main window's list; it must outlive this window, which is modal.
    explicit Form4(MessageListView *mainList, QWidget *parent = nullptr);

    // Appends a copy of every main-list row (texts and tick), top to bottom.
    void copyRowsFromMainList();

    MessageListPanel *listPanel() const { return m_panel; }

    void PushButton7_Click();  // "Clear List"
    void PushButton1_Click();  // "Maximize This Window"
    void PushButton4_Click();  // "< Back"

    MessageListView *ListView1 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QPushButton *PushButton5 = nullptr;
    QPushButton *PushButton6 = nullptr;
    QPushButton *PushButton9 = nullptr;
    QPushButton *PushButton10 = nullptr;
    QPushButton *PushButton7 = nullptr;
    QPushButton *PushButton1 = nullptr;
    QPushButton *PushButton4 = nullptr;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void done(int result) override;

private:
    void createControls();
    void Form_Load();
    void Form_Resize();
    void Form_Unload();

    MessageListView *m_mainList;
    MessageListPanel *m_panel = nullptr;
    bool m_unloaded = false;
};
