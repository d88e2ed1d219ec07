// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "ircpeer.h"

#include "testhelpers.h"

IrcPeer::Line IrcPeer::Line::parse(const QString &raw)
{
    Line line;
    line.raw = raw;
    QString rest = raw;
    if (rest.startsWith(QLatin1Char(':'))) {
        const int space = rest.indexOf(QLatin1Char(' '));
        const QString prefix = rest.mid(1, space < 0 ? -1 : space - 1);
        const int bang = prefix.indexOf(QLatin1Char('!'));
        // Only user prefixes carry a '!'; the server's name is no nick.
        if (bang > 0)
            line.nick = prefix.left(bang);
        rest = space < 0 ? QString() : rest.mid(space + 1);
    }
    QString trailing;
    bool hasTrailing = false;
    const int colon = rest.indexOf(QLatin1String(" :"));
    if (colon >= 0) {
        trailing = rest.mid(colon + 2);
        hasTrailing = true;
        rest = rest.left(colon);
    }
    QStringList words = rest.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    line.command = words.isEmpty() ? QString() : words.takeFirst().toUpper();
    line.params = words;
    if (hasTrailing)
        line.params << trailing;
    return line;
}

IrcPeer::IrcPeer(const QString &nick, QObject *parent)
    : QObject(parent)
    , m_nick(nick)
{
    connect(&m_socket, &QTcpSocket::readyRead, this, &IrcPeer::readLines);
}

bool IrcPeer::connectTo(const QString &host, quint16 port, int timeoutMs)
{
    m_welcomed = false;
    m_buffer.clear();
    m_socket.abort();
    m_socket.connectToHost(host, port);
    if (!waitUntil([this] { return m_socket.state() == QAbstractSocket::ConnectedState; }, timeoutMs)) {
        qWarning("IrcPeer %s: cannot connect to %s:%u: %s", qPrintable(m_nick), qPrintable(host),
                 port, qPrintable(m_socket.errorString()));
        return false;
    }
    sendLine(QStringLiteral("NICK ") + m_nick);
    sendLine(QStringLiteral("USER %1 0 * :%1").arg(m_nick));
    if (!waitUntil([this] { return m_welcomed; }, timeoutMs)) {
        qWarning("IrcPeer %s: not welcomed by the server", qPrintable(m_nick));
        return false;
    }
    return true;
}

bool IrcPeer::isConnected() const
{
    return m_welcomed && m_socket.state() == QAbstractSocket::ConnectedState;
}

void IrcPeer::disconnectFromServer()
{
    if (m_socket.state() == QAbstractSocket::ConnectedState) {
        sendLine(QStringLiteral("QUIT :bye"));
        m_socket.flush();
    }
    m_socket.abort();
    m_welcomed = false;
}

void IrcPeer::sendLine(const QString &line)
{
    m_socket.write(line.toUtf8() + "\r\n");
    m_socket.flush();
}

void IrcPeer::privmsg(const QString &target, const QString &text)
{
    sendLine(QStringLiteral("PRIVMSG %1 :%2").arg(target, text));
}

bool IrcPeer::join(const QString &channel, int timeoutMs)
{
    sendLine(QStringLiteral("JOIN ") + channel);
    // 366: end of the NAMES list that follows a JOIN.
    return waitForLine([&](const Line &l) {
        return l.command == QLatin1String("366") && l.params.value(1).compare(channel, Qt::CaseInsensitive) == 0;
    }, timeoutMs);
}

bool IrcPeer::part(const QString &channel, int timeoutMs)
{
    sendLine(QStringLiteral("PART ") + channel);
    return waitForLine([&](const Line &l) {
        return l.command == QLatin1String("PART") && l.nick == m_nick;
    }, timeoutMs);
}

bool IrcPeer::waitForLine(const Predicate &predicate, int timeoutMs, bool fromStart)
{
    int next = fromStart ? 0 : m_lines.size();
    return waitUntil([&] {
        for (; next < m_lines.size(); ++next) {
            if (predicate(m_lines.at(next)))
                return true;
        }
        return false;
    }, timeoutMs);
}

QStringList IrcPeer::privmsgs(const QString &fromNick, const QString &target) const
{
    QStringList texts;
    for (const Line &line : m_lines) {
        if (line.command == QLatin1String("PRIVMSG") && line.nick == fromNick
            && line.params.value(0).compare(target, Qt::CaseInsensitive) == 0)
            texts << line.params.value(1);
    }
    return texts;
}

bool IrcPeer::waitForPrivmsgs(const QString &fromNick, const QString &target, int count,
                              int timeoutMs)
{
    return waitUntil([&] { return privmsgs(fromNick, target).size() >= count; }, timeoutMs);
}

void IrcPeer::readLines()
{
    m_buffer += m_socket.readAll();
    int end;
    while ((end = m_buffer.indexOf('\n')) >= 0) {
        QByteArray raw = m_buffer.left(end);
        m_buffer.remove(0, end + 1);
        if (raw.endsWith('\r'))
            raw.chop(1);
        const Line line = Line::parse(QString::fromUtf8(raw));
        if (line.command == QLatin1String("PING")) {
            sendLine(QStringLiteral("PONG :") + line.params.value(0));
            continue;
        }
        if (line.command == QLatin1String("001"))
            m_welcomed = true;
        m_lines << line;
        Q_EMIT lineReceived(line);
    }
}
