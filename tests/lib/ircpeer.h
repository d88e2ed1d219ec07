// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING_IRCPEER_H
#define MESSAGING_IRCPEER_H

#include <QList>
#include <QObject>
#include <QStringList>
#include <QTcpSocket>

#include <functional>

// The other side of a conversation: a plain IRC client speaking raw IRC
// over a QTcpSocket, so that a test sees exactly what reached the network.
// It answers PING by itself and records every line it receives.
class IrcPeer : public QObject
{
    Q_OBJECT

public:
    // One line from the server: ":nick!user@host COMMAND p1 p2 :trailing".
    struct Line
    {
        QString nick;     // of the prefix; empty for lines from the server itself
        QString command;  // "PRIVMSG", "JOIN", "001", ...
        QStringList params; // the trailing parameter last
        QString raw;

        static Line parse(const QString &raw);
    };
    using Predicate = std::function<bool(const Line &)>;

    explicit IrcPeer(const QString &nick, QObject *parent = nullptr);

    QString nick() const { return m_nick; }

    // Connects and registers; true once the server has welcomed the nick.
    bool connectTo(const QString &host, quint16 port, int timeoutMs = 5000);
    bool isConnected() const;
    void disconnectFromServer();

    void sendLine(const QString &line);
    void privmsg(const QString &target, const QString &text);
    // Joins and waits for the end of the member list.
    bool join(const QString &channel, int timeoutMs = 5000);
    // Leaves and waits for the server's confirmation.
    bool part(const QString &channel, int timeoutMs = 5000);

    // Serves the event loop until a line received from now on (or, with
    // fromStart, any line so far) satisfies the predicate.
    bool waitForLine(const Predicate &predicate, int timeoutMs = 5000, bool fromStart = false);
    // The texts of the PRIVMSGs from nick to target, in the order received.
    QStringList privmsgs(const QString &fromNick, const QString &target) const;
    // Waits until there are at least count such PRIVMSGs.
    bool waitForPrivmsgs(const QString &fromNick, const QString &target, int count,
                         int timeoutMs = 5000);

    const QList<Line> &lines() const { return m_lines; }
    void clearLines() { m_lines.clear(); }

Q_SIGNALS:
    void lineReceived(const IrcPeer::Line &line);

private:
    void readLines();

    QString m_nick;
    QTcpSocket m_socket; // owned by value
    QByteArray m_buffer;
    QList<Line> m_lines;
    bool m_welcomed = false;
};

#endif
