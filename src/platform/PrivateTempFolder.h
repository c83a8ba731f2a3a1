#pragma once
// A temporary folder that only this user can enter (mode 0700), made once per run under the
// folder named by TEMP when that is set, else under the system's temporary folder. Files with
// fixed names ("tmp.tmp") go here rather than straight into a shared, world-writable folder,
// where another user could have planted a link under that name.

#include <QString>

namespace platform {

// The folder's path; raises nothing, but answers empty text when no folder could be made.
QString privateTempFolder();

// Removes the folder and everything in it. The program ends without running destructors, so
// every way out calls this first; a later privateTempFolder() makes a new folder.
void removePrivateTempFolder();

}  // namespace platform
