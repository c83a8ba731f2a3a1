#include "core/Procedure.h"

#include "core/AppError.h"
#include "platform/Dialogs.h"

#include <exception>

Procedure::Procedure(QString window, QString name)
    : m_window(std::move(window)), m_name(std::move(name))
{
}

void Procedure::operator()(int line, const std::function<void()> &statement)
{
    test(line, [&] {
        statement();
        return true;
    });
}

bool Procedure::test(int line, const std::function<bool()> &condition)
{
    try {
        return condition();
    } catch (const AppError &e) {
        report(e.description(), line);
    } catch (const std::exception &e) {
        report(QString::fromUtf8(e.what()), line);
    }
    return true;
}

const QString &Procedure::supportAddress()
{
    static const QString address = QStringLiteral("support@quorvale.app");
    return address;
}

QString Procedure::reportText(const QString &description, int line) const
{
    return description + QStringLiteral("\r\n") + QStringLiteral("in Vantelo2021/08/31.")
        + m_window + QLatin1Char('.') + m_name + QLatin1Char(' ') + QStringLiteral("at line ")
        + QString::number(line) + QStringLiteral("\r\r")
        + QStringLiteral("Please email screenshot of this message to ") + supportAddress();
}

void Procedure::report(const QString &description, int line)
{
    ++m_failures;
    platform::MessageBoxRequest box;
    box.text = reportText(description, line);
    box.title = QStringLiteral("Application Error");
    box.icon = platform::BoxIcon::Exclamation;
    box.buttons = platform::BoxButtons::Ok;
    platform::dialogs().messageBox(box);
}
