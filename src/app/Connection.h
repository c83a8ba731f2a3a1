#pragma once
// The "Gmail Login" frame: "1. Connect" / "Disconnect", the login boxes, "Remember me",
// auto-connect and Help. It owns the window's mail connection, the current session, and whether
// the user is connected; the button's caption shows that state, it is never read back.

#include "mail/clsImapSession.h"

#include <QObject>

class MailConnection;
class MessageFilters;
class Procedure;
struct MainWindowControls;

class Connection : public QObject {
    Q_OBJECT
public:
    Connection(const MainWindowControls &controls, MessageFilters &filters);

    bool connected() const { return m_connected; }
    const ImapSessionPtr &session() const { return m_session; }
    void setSession(ImapSessionPtr session) { m_session = std::move(session); }
    // A new session on the client with the login boxes' credentials.
    ImapSessionPtr newSession();
    MailConnection *mail() const { return m_mail; }
    void createMailConnection();

    // Start-up statements 180 ... 192, 212 ... 216 and 222 ... 226 of Form_Load.
    void restoreRememberMe(Procedure &p);
    void enableAutoConnect(Procedure &p);
    void restoreAutoConnect(Procedure &p);

    void PushButton3_Click();  // "1. Connect" / "Disconnect"
    void PushButton1_Click();  // "Help"

signals:
    // Every new session, before it is used.
    void sessionCreated(clsImapSession *session);

private:
    void connectPath(Procedure &p);
    void disconnectPath(Procedure &p, bool afterFailedConnect);
    void setConnected(bool connected);
    const ImapSessionPtr &requireSession() const;
    void Check1_Click();

    const MainWindowControls &m_controls;
    MessageFilters &m_filters;
    MailConnection *m_mail = nullptr;
    ImapSessionPtr m_session;
    bool m_connected = false;
};
