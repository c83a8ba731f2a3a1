#pragma once
// A progress bar whose text is the window's status line.

#include <QProgressBar>

class StatusProgressBar : public QProgressBar {
    Q_OBJECT
public:
    explicit StatusProgressBar(QWidget *parent = nullptr) : QProgressBar(parent)
    {
        setTextVisible(true);
        setAlignment(Qt::AlignCenter);
        // A reset bar (value -1) hides its text; the status line must always show.
        setRange(0, 100);
        setValue(0);
        setStatusText(QStringLiteral("Progress Bar"));
    }

    void setStatusText(const QString &text)
    {
        m_text = text;
        // QProgressBar reads "%" in its format as a placeholder.
        setFormat(QString(text).replace(QLatin1Char('%'), QLatin1String("%%")));
    }
    const QString &statusText() const { return m_text; }

private:
    QString m_text;
};
