#pragma once
// "Filter By Label": picks one of the account's labels (LabelNames) as the label filter. The
// main window hands in the current filter and reads it back after the window closed; "OK"
// also stores it as the setting "LabelFilter".

#include <QDialog>

class QComboBox;
class QGroupBox;
class QPushButton;

class Form7 : public QDialog {
    Q_OBJECT
public:
    Form7(const QString &labelFilter, QWidget *parent = nullptr);

    QString LabelFilter;  // the filter in, the confirmed one out

    void PushButton1_Click();  // "OK"
    void PushButton3_Click();  // "Cancel"

    QGroupBox *Frame2 = nullptr;
    QComboBox *Combo1 = nullptr;
    QPushButton *PushButton1 = nullptr;
    QPushButton *PushButton3 = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void done(int result) override;

private:
    void Form_Load();
    void Form_Activate();
    bool m_loaded = false;
};
