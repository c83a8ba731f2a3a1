// Opening the preview of the checked messages.

#include "app/Form1.h"

#include "core/AppError.h"
#include "core/MessageBox.h"
#include "core/Procedure.h"
#include "list/MessageList.h"
#include "list/MessageListView.h"
#include "print/Form3.h"

#include <QLineEdit>
#include <QRadioButton>

void Form1::PushButton4_Click()
{
    Procedure p(QStringLiteral("Form1"), QStringLiteral("PushButton4_Click"));
    if (!p.test(100, [&] { return ListView1->topLevelItemCount() > 0; }))
        return;
    qint32 checked = 0;
    p(102, [&] { checked = CountCheckedRows(ListView1); });
    if (p.test(104, [&] { return checked == 0; })) {
        p(106, [&] { showMessage(QStringLiteral("Please select at least one message.")); });
        return;
    }
    p(108, [&] { setBusyPointer(); });
    QVector<MessageEntry> selected;
    p(110, [&] {
        selected.reserve(checked);
        for (int entryNumber : checkedEntryNumbers(ListView1)) {
            // Ticks added while the count gave the event loop turns do not fit the array.
            if (selected.size() >= checked)
                apperror::throwSubscriptOutOfRange();
            selected.append(messageEntries().at(entryNumber));
        }
    });
    p(130, [&] { setDefaultPointer(); });
    if (!p.test(132, [&] { return ListView1->topLevelItemCount() > 0; }))
        return;
    Form3 *preview = nullptr;
    p(134, [&] {
        delete m_preview;  // one preview window at a time
        preview = m_preview = new Form3(std::move(selected), Text1->text());
        preview->setAttribute(Qt::WA_DeleteOnClose);
        connect(preview, &Form3::backRequested, this, &QWidget::show);
        connect(preview, &Form3::endProgramRequested, this, &QWidget::close);
    });
    auto opened = [&]() -> Form3 & {
        if (!preview)
            apperror::throwObjectNotSet();
        return *preview;
    };
    p(136, [&] { opened().PrintAsHTML = Option1->isChecked(); });
    p(138, [&] {
        opened().Form_Load();
        opened().show();
    });
    p(140, [&] { hide(); });
}

Form3 *Form1::previewWindow() const
{
    return m_preview.data();
}
