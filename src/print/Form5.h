#pragma once
// The PDF options window: the file-name pattern and the output folder of a PDF print run.
// Modal over the preview window. "OK" writes the confirmed pattern and folder into the
// PdfExportState it was given and clears ExportCanceled; "Cancel", Escape and closing the
// window by its frame set ExportCanceled and leave the last confirmed pattern and folder alone.
// The extras (attachments beside each PDF, attached PDFs appended, one PDF of the whole run)
// are remembered in the settings when "OK" confirms them; a cancelled window stores nothing.

#include "print/PdfExportState.h"

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

// The last confirmed "append attached PDFs": paper printers follow it too, without the window.
bool rememberedAppendPdfs();

class Form5 : public QDialog {
    Q_OBJECT
public:
    explicit Form5(PdfExportState &target, QWidget *parent = nullptr);

    void PushButton1_Click();  // "OK"
    void PushButton2_Click();  // "Cancel"
    void PushButton6_Click();  // "..."
    void PushButton7_Click();  // "?"
    void PushButton9_Click();  // "Use Default"

    QGroupBox *Frame1 = nullptr;
    QLineEdit *Text1 = nullptr;
    QPushButton *PushButton9 = nullptr;
    QPushButton *PushButton7 = nullptr;
    QGroupBox *Frame3 = nullptr;
    QLineEdit *Text2 = nullptr;
    QPushButton *PushButton6 = nullptr;
    QPushButton *PushButton1 = nullptr;
    QPushButton *PushButton2 = nullptr;
    QGroupBox *FrameExtras = nullptr;
    QCheckBox *CheckSaveAttachments = nullptr;
    QCheckBox *CheckAppendPdfs = nullptr;
    QCheckBox *CheckCombinedPdf = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void done(int result) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void Form_Load();
    void Text1_Change();
    void Text2_Change();
    void loadExtras();
    void confirmExtras();

    PdfExportState &m_target;
    bool m_loaded = false;
};
