#include "platform/PrinterSystem.h"

#include "platform/CupsPrinterSystem.h"

namespace platform {

namespace {
PrinterSystem *replacementSystem = nullptr;
}

PrinterSystem &printerSystem()
{
    if (replacementSystem)
        return *replacementSystem;
    static CupsPrinterSystem cups;
    return cups;
}

void setPrinterSystem(PrinterSystem *replacement)
{
    replacementSystem = replacement;
}

}  // namespace platform
