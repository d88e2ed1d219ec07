// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING_IRCSERVER_H
#define MESSAGING_IRCSERVER_H

#include <QObject>
#include <QProcess>
#include <QTemporaryDir>

// An ngIRCd of the test's own: listens on 127.0.0.1 only, on a port that was
// free when start() first ran, with its configuration under a temporary
// directory. stop() ends it by PID; start() after stop() brings it back on
// the same port (a server outage). The destructor stops it.
//
// The machine's own IRC service is never used.
class IrcServer : public QObject
{
    Q_OBJECT

public:
    explicit IrcServer(QObject *parent = nullptr);
    ~IrcServer() override;

    // Starts ngircd and waits until its port accepts connections.
    bool start(int timeoutMs = 10000);
    // SIGTERM, then SIGKILL after 3 s; waits for the exit.
    void stop();
    bool isRunning() const;

    quint16 port() const { return m_port; }
    static QString host() { return QStringLiteral("127.0.0.1"); }
    // The server's log so far (ngircd writes it to stderr).
    QByteArray log() const;

    // Adds a telepathy-idle account for nick on this server to Mission
    // Control's accounts file, enabled and connecting automatically. Call it
    // before anything in the process asks for the account manager: Mission
    // Control reads the file once, when it is activated. Returns the
    // account's object path.
    QString seedAccount(const QString &name, const QString &nick) const;

private:
    bool waitUntilListening(int timeoutMs);

    QTemporaryDir m_dir;
    QProcess *m_process = nullptr; // owned: a child of this object
    quint16 m_port = 0;
};

#endif
