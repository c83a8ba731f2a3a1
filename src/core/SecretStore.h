#pragma once
// The remembered password lives in the desktop's secret store (Secret Service over D-Bus,
// through QtKeychain), never in the settings file. Service "Tervane Quorvale", key "Password".
//
// When no secret store answers, the password is simply not remembered: reads give empty text,
// writes and deletes do nothing, nothing is shown to the user, and the error log gets one line
// saying why, once per process. Without a session bus that is decided before any job starts, so
// nothing ever waits for a D-Bus timeout; a job that fails or does not answer in time turns the
// store off for the rest of the run.

#include <QString>

namespace secretstore {

// False once the store is known to be out of reach (no session bus, or a job failed).
bool isAvailable();
// Why the store is unavailable; empty while it is available.
QString unavailableReason();

// The stored password, or empty text when none is stored or the store is unavailable.
QString readPassword();
// Stores `password`; empty text deletes the entry.
void writePassword(const QString &password);
// Removes the entry; a missing entry is not a failure.
void deletePassword();

}  // namespace secretstore
