#include "core/AppGlobals.h"

AppGlobals &globals()
{
    static AppGlobals instance;
    return instance;
}
