// A whole message as a server may send it, through the message parser.

#include "mime/MailMessage.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray raw(reinterpret_cast<const char *>(data), qsizetype(size));
    parseMailMessage(raw, QDateTime());
    return 0;
}
