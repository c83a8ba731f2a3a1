#pragma once
// Files only their owner may read: the settings (user name, filters, folder choices), the
// error log (what was downloaded, and what failed), and the files naming printers and PDFs.

#include <QString>

// Creates the folders of `path` that do not exist yet, each readable only by the owner
// (0700), and the file itself empty and 0600 when it does not exist. An existing file is
// narrowed to 0600; existing folders are left as they are. False when something could not
// be created.
bool preparePrivateFile(const QString &path);

// Creates the missing folders of `folder`, outermost first, each 0700 from the start. False
// when one could not be made.
bool makePrivateFolders(const QString &folder);
