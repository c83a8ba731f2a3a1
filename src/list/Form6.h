#pragma once
// "Filter By Characters": edits the character filter. The main window hands in the current
// filter and reads it back after the window closed; "OK" also stores it as the setting
// "CharactersFilter".

#include <QDialog>

class QGroupBox;
class QLineEdit;
class QPushButton;

class Form6 : public QDialog {
    Q_OBJECT
public:
    Form6(const QString &charactersFilter, QWidget *parent = nullptr);

    QString CharactersFilter;  // the filter in, the confirmed one out

    void PushButton1_Click();  // "OK"
    void PushButton2_Click();  // "Cancel"

    QGroupBox *Frame2 = nullptr;
    QLineEdit *txtSearch = nullptr;
    QPushButton *PushButton1 = nullptr;
    QPushButton *PushButton2 = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void done(int result) override;

private:
    void Form_Load();
    void Form_Activate();
    bool m_loaded = false;
};
