#pragma once
// How large a message may be when the server does not say (no RFC822.SIZE before the message):
// the setting "LargestMessageMB", in MiB. Gmail never sends more than 50 MB; the default
// (ImapResponseReader::defaultMaxMessageSize) leaves twice that, and the setting is there for
// other servers.

#include <QtGlobal>

// In bytes. A missing or unreadable value, or one below 1, gives the default; no value goes
// beyond the largest literal the client reads at all.
qint64 largestMessageWithoutSize();
