#pragma once
// The start-up check that the computer is online.

#include <QString>

// True when ping's output shows a reply ("64 bytes from ...", or "bytes=" as other pings print).
bool hasPingReply(const QString &pingOutput);

// Pings `host` once, waiting at most a few seconds; without a reply (also when ping cannot be
// run) tells the user "You must be online to use this software accurately."
void CheckOnline(const QString &host);
