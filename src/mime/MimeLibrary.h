#pragma once
// GMime for the message parser. glib names a struct member "signals", which Qt defines as a
// keyword macro, so the macro is set aside while GMime's headers are read.

#pragma push_macro("signals")
#undef signals
#include <gmime/gmime.h>
#pragma pop_macro("signals")

#include <memory>

// Initialises GMime once per process (from whichever thread gets here first) and returns the
// parser options every parse uses.
GMimeParserOptions *mimeParserOptions();

struct GObjectUnref {
    void operator()(gpointer object) const
    {
        if (object)
            g_object_unref(object);
    }
};

// Owns one GObject reference.
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

struct GFreeDeleter {
    void operator()(gpointer memory) const { g_free(memory); }
};

// Owns a string that GMime allocated with g_malloc.
using GCharPtr = std::unique_ptr<char, GFreeDeleter>;
