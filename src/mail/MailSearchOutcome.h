#pragma once
// What a search of one folder found, as the search window shows it.

#include <QString>

struct MailSearchOutcome {
    enum class Kind {
        Found,        // count messages match (maybe none)
        Unsupported,  // the query asks for what this server's search cannot do; text says what
        Failed,       // the server refused the search or could not be reached; text says why
        Stopped       // stopped, or the connection was taken by a later connect or disconnect
    };
    Kind kind = Kind::Failed;
    qint32 count = 0;
    bool gmailSearch = false;  // run by the server's own Gmail search
    QString text;
};
