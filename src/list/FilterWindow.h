#pragma once
// The two filter windows, one class: "Filter By Characters" (Form6) edits the character filter
// in a text box; "Filter By Label" (Form7) picks one of the account's labels (LabelNames) from
// a drop-down list. The main window hands in the current filter and reads it back after the
// window closed; "OK" also stores it as the setting "CharactersFilter" or "LabelFilter".

#include <QDialog>

class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

class FilterWindow : public QDialog {
    Q_OBJECT
public:
    enum class Kind { Characters, Label };

    FilterWindow(Kind kind, const QString &filter, QWidget *parent = nullptr);
    // The setting that keeps the confirmed filter.
    static QString settingName(Kind kind);

    QString filter;  // the filter in, the confirmed one out

    void okClick();
    void cancelClick();

    QGroupBox *Frame2 = nullptr;
    QLineEdit *txtSearch = nullptr;  // Characters only
    QComboBox *Combo1 = nullptr;     // Label only
    QPushButton *PushButton1 = nullptr;  // "OK"
    QPushButton *cancelButton = nullptr;  // "Cancel": PushButton2 (Characters), PushButton3 (Label)

protected:
    void showEvent(QShowEvent *event) override;
    void done(int result) override;

private:
    void buildControls();
    void showCharacters();
    void showLabels();

    Kind m_kind;
    bool m_loaded = false;
};
