#pragma once
// The remembered password lives in the desktop's secret store (Secret Service over D-Bus,
// through QtKeychain), never in the settings file. Service "Tervane Quorvale", key "Password".
//
// When no session bus exists the password is simply not remembered: reads give empty text,
// writes and deletes do nothing, nothing is shown to the user, and the error log gets one line
// saying why, once per process; nothing ever waits for a D-Bus timeout then. With a bus, every
// request stands alone: one that fails or does not answer within 5 s fails by itself (a line in
// the error log), and the next request asks the store again.

#include <QString>

namespace secretstore {

// False when no session bus exists to reach a store on.
bool isAvailable();
// Why the store is unavailable; empty while it is available.
QString unavailableReason();

// The stored password, or empty text when none is stored or the store did not answer.
QString readPassword();
// Stores `password`; empty text deletes the entry. False when the store did not carry it out.
bool writePassword(const QString &password);
// Removes the entry; a missing entry, or no session bus at all, is not a failure. False when the
// store was asked and did not carry it out (refused, or no answer in time).
bool deletePassword();

}  // namespace secretstore
