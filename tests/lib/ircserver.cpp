// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "ircserver.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTextStream>

namespace {

const char ConfigTemplate[] =
    "[Global]\n"
    "Name = irc.test\n"
    "Info = libmessaging0 test server\n"
    "AdminInfo1 = libmessaging0 tests\n"
    "AdminInfo2 = localhost\n"
    "AdminEMail = tests@localhost\n"
    "Listen = 127.0.0.1\n"
    "Ports = %1\n"
    "MotdPhrase = test server\n"
    "[Limits]\n"
    // Every client of a test comes from 127.0.0.1, and tests send quickly.
    "MaxConnectionsIP = 0\n"
    "MaxPenaltyTime = 0\n"
    "[Options]\n"
    "DNS = no\n"
    "Ident = no\n"
    "PAM = no\n";

quint16 freeLocalPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

} // namespace

IrcServer::IrcServer(QObject *parent)
    : QObject(parent)
{
}

IrcServer::~IrcServer()
{
    stop();
}

bool IrcServer::start(int timeoutMs)
{
    if (isRunning())
        return true;
    if (!m_dir.isValid()) {
        qWarning("IrcServer: no temporary directory");
        return false;
    }
    if (m_port == 0)
        m_port = freeLocalPort();
    if (m_port == 0) {
        qWarning("IrcServer: no free port on 127.0.0.1");
        return false;
    }
    const QString config = m_dir.filePath(QStringLiteral("ngircd.conf"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        qWarning("IrcServer: cannot write %s", qPrintable(config));
        return false;
    }
    file.write(QString::fromLatin1(ConfigTemplate).arg(m_port).toUtf8());
    file.close();

    delete m_process;
    m_process = new QProcess(this);
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->setStandardOutputFile(m_dir.filePath(QStringLiteral("ngircd.log")), QIODevice::Append);
    // -n: stay in the foreground, so that the PID is the server's.
    m_process->start(QStringLiteral("/usr/sbin/ngircd"),
                     {QStringLiteral("-n"), QStringLiteral("-f"), config});
    if (!m_process->waitForStarted(timeoutMs)) {
        qWarning("IrcServer: ngircd did not start: %s", qPrintable(m_process->errorString()));
        return false;
    }
    if (!waitUntilListening(timeoutMs)) {
        qWarning("IrcServer: ngircd does not accept connections on port %u:\n%s", m_port,
                 log().constData());
        stop();
        return false;
    }
    return true;
}

bool IrcServer::waitUntilListening(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (m_process->state() != QProcess::Running)
            return false;
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, m_port);
        if (probe.waitForConnected(200)) {
            probe.disconnectFromHost();
            return true;
        }
        // Refused at once while ngircd is still starting: let it run.
        m_process->waitForFinished(50);
    }
    return false;
}

void IrcServer::stop()
{
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (!m_process->waitForFinished(3000)) {
            m_process->kill();
            m_process->waitForFinished(3000);
        }
    }
    delete m_process;
    m_process = nullptr;
}

bool IrcServer::isRunning() const
{
    return m_process && m_process->state() == QProcess::Running;
}

QByteArray IrcServer::log() const
{
    QFile file(m_dir.filePath(QStringLiteral("ngircd.log")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString IrcServer::seedAccount(const QString &name, const QString &nick) const
{
    // Only ever inside the private-bus runner's tree, never in a real home.
    if (qEnvironmentVariableIsEmpty("MESSAGING_TEST_TREE")) {
        qWarning("IrcServer: seedAccount() outside run-in-private-bus");
        return QString();
    }
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/telepathy/mission-control");
    QDir().mkpath(dir);
    QFile file(dir + QStringLiteral("/accounts.cfg"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        qWarning("IrcServer: cannot write %s", qPrintable(file.fileName()));
        return QString();
    }
    QTextStream out(&file);
    out << "\n[idle/irc/" << name << "]\n"
        << "manager=idle\n"
        << "protocol=irc\n"
        << "DisplayName=IRC " << nick << "\n"
        << "Enabled=true\n"
        << "ConnectAutomatically=true\n"
        << "AutomaticPresence=2;available;;\n"
        << "param-account=" << nick << "\n"
        << "param-server=" << host() << "\n"
        << "param-port=" << m_port << "\n";
    return QStringLiteral("/org/freedesktop/Telepathy/Account/idle/irc/") + name;
}
