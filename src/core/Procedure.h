#pragma once
// The error convention of every window procedure: numbered statements run one by one; a
// statement that fails shows the "Application Error" box naming the window, the procedure and
// the statement's number, and the procedure goes on with the next statement.
//
//     Procedure p("Form1", "PushButton3_Click");
//     p(100, [&] { setBusyPointer(); });
//     if (p.test(102, [&] { return caption() == "1. Connect"; })) { ... }
//
// A failing test counts as passed, so the statements it governs still run.

#include <QString>
#include <functional>

class Procedure {
public:
    Procedure(QString window, QString name);

    // Runs one numbered statement; a failure is reported and swallowed.
    void operator()(int line, const std::function<void()> &statement);
    // Runs a numbered condition; answers true when it holds or when it fails.
    bool test(int line, const std::function<bool()> &condition);

    // The box text for a failure with `description` at `line` of this procedure.
    QString reportText(const QString &description, int line) const;
    int failures() const { return m_failures; }

    static const QString &supportAddress();

private:
    void report(const QString &description, int line);

    QString m_window;
    QString m_name;
    int m_failures = 0;
};
