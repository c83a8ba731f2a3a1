#pragma once
// Bytes the program has taken from the heap and not given back (what the allocator counts, not
// what the system reports), so that a measurement does not depend on the process's other pages.

#include <QtGlobal>

#if defined(__SANITIZE_ADDRESS__)
#include <cstddef>
// AddressSanitizer's own count; gcc installs no header that declares it.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

inline qint64 heapInUse()
{
#if defined(__SANITIZE_ADDRESS__)
    return qint64(__sanitizer_get_current_allocated_bytes());
#else
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks + info.hblkhd);
#endif
}
