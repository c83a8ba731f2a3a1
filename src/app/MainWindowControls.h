#pragma once
// The main window's controls, named as the window's designer named them. The window builds
// them; its parts (connection, download run, filters) each work on the few they need.

#include <QList>
#include <QWidget>

class MessageListPanel;
class MessageListView;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class SkinFramework;
class StatusProgressBar;

struct MainWindowControls {
    QWidget *mainWindow = nullptr;  // parent of the dialogs; its pointer is the busy state
    QGroupBox *Frame5 = nullptr;
    QLineEdit *Text1 = nullptr;
    QLineEdit *Text2 = nullptr;
    QCheckBox *Check1 = nullptr;
    QCheckBox *Check2 = nullptr;
    QPushButton *PushButton1 = nullptr;
    QPushButton *PushButton3 = nullptr;
    QGroupBox *Frame2 = nullptr;
    QList<QRadioButton *> folderOptions;  // Option3 ... Option10
    QGroupBox *Frame6 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label4 = nullptr;
    QPushButton *PushButton2 = nullptr;
    QPushButton *PushButton10 = nullptr;
    QPushButton *PushButton11 = nullptr;
    MessageListView *ListView1 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QPushButton *PushButton5 = nullptr;
    QPushButton *PushButton6 = nullptr;
    QPushButton *PushButton9 = nullptr;
    QPushButton *PushButton8 = nullptr;
    QPushButton *PushButton7 = nullptr;
    QPushButton *PushButton4 = nullptr;
    QPushButton *PushButton13 = nullptr;
    QPushButton *PushButton14 = nullptr;
    QPushButton *PushButton15 = nullptr;
    QPushButton *PushButton16 = nullptr;
    QPushButton *PushButton17 = nullptr;
    QPushButton *PushButton18 = nullptr;
    QGroupBox *Frame1 = nullptr;
    QRadioButton *Option1 = nullptr;
    QRadioButton *Option2 = nullptr;
    StatusProgressBar *ProgressBar1 = nullptr;
    SkinFramework *SkinFramework1 = nullptr;
    MessageListPanel *panel = nullptr;  // the list, its totals and selection tools

    void setBusyPointer() const { mainWindow->setCursor(Qt::WaitCursor); }
    void setDefaultPointer() const { mainWindow->setCursor(Qt::ArrowCursor); }
};
