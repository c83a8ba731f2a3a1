#include "app/StartupPrinter.h"

#include "core/Procedure.h"
#include "platform/EventLoop.h"
#include "platform/PrinterSystem.h"

#include <QStringList>

void StartupPrinter::remember(Procedure &p)
{
    QString defaultName;
    QStringList printers;
    // No default printer, or no print service, simply leaves nothing to put back.
    p(202, [&] {
        platform::PrinterSystem &system = platform::printerSystem();
        defaultName = system.defaultPrinterName().value_or(QString());
        system.rememberDefaults();
    });
    p(204, [&] { printers = platform::printerSystem().printerNames(); });
    for (const QString &printer : printers) {
        p(206, [&] {
            if (!m_name && !defaultName.isEmpty() && printer == defaultName)
                m_name = printer;
        });
        p(208, [&] { platform::giveEventLoopTurn(); });
    }
}

void StartupPrinter::restore()
{
    platform::giveEventLoopTurn();
    platform::printerSystem().restoreDefaults();
}
