#pragma once
// Everything the program remembers: text values under application "Tervane", section
// "Quorvale". They are kept in the INI file <XDG config folder>/Tervane/Tervane.conf (group
// [Quorvale]); every read goes to the file, so a change made outside the program is seen.
//
// The key "Password" (in any letter case) never touches the file: it goes to the secret store,
// and only while the setting "StayConnected" ("Remember me") is a non-zero number. A plain
// "Password" left in the file by an earlier version is moved to the secret store (when Remember
// me is on) and removed from the file on the next read or write of the password.

#include <QString>

// The value of `key`, or `defaultValue` when the store has none.
QString getSetting(const QString &key, const QString &defaultValue = QString());
// Stores `value` at once; a write the file system refuses raises AppError naming the file.
void saveSetting(const QString &key, const QString &value);
// The settings file's full path.
QString settingsFilePath();
