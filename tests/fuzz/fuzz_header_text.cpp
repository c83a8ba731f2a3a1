// Header values (folding, encoded words, split base64 runs) through header decoding.

#include "mime/MimeHeaderText.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray value(reinterpret_cast<const char *>(data), qsizetype(size));
    decodeHeaderText(value);
    unfoldHeader(value);
    joinSplitBase64Words(value);
    return 0;
}
