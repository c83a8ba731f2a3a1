#pragma once
// Which connection of the window's one ImapClient is the current one, as the sessions see it.
// Every connect a session makes and every disconnect the window makes starts a new epoch. A
// download belongs to the connection it opened: after an event-loop turn it compares epochs to
// learn whether a later connect or disconnect, made by the user inside that turn, took its
// connection away.

#include <QtGlobal>

class ImapClient;

quint64 currentConnectionEpoch(const ImapClient &client);
// Called just before connecting or disconnecting; answers the new epoch, which a new connection
// owns.
quint64 startConnectionEpoch(ImapClient &client);
