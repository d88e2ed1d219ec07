// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING_TOOL_COMMANDS_H
#define MESSAGING_TOOL_COMMANDS_H

#include <TelepathyQt/Account>

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

class MessageSender;

namespace Tp {
class PendingOperation;
}

// Exit codes of the program.
enum ExitCode {
    ExitSuccess = 0,
    ExitMessageFailed = 1,
    ExitUsage = 2,
    ExitEnvironment = 3, // no session bus, unknown account, no account manager
    ExitTimeout = 4
};

// Waits for the account manager, shows progress on stderr and gives up
// after the time-out; the subcommands build on it.
// A failure's reason as printed: "<D-Bus error name>: <message>", or
// whichever of the two there is.
QString describeFailure(const QString &errorName, const QString &errorMessage);

class Command : public QObject
{
    Q_OBJECT

public:
    explicit Command(int timeoutSeconds, QObject *parent = nullptr);
    // The time-out counts from since when it is given (the program's start).
    void start(const QElapsedTimer &since = QElapsedTimer());

protected:
    virtual void accountManagerReady() = 0;
    virtual void timedOut() {}
    void setStage(const QString &stage);
    void finish(int exitCode);
    static void fail(const QString &message);
    // The valid account at the path; otherwise says so, ends the run and
    // returns null. Needs the account manager ready.
    Tp::AccountPtr accountOrFail(const QString &accountPath);

private:
    void onAccountManagerReady(Tp::PendingOperation *operation);
    void onTick();

    QString m_stage;
    QTimer m_ticker;
    QElapsedTimer m_elapsed;
    int m_timeoutSeconds;
    bool m_finished = false;
};

class SendCommand : public Command
{
    Q_OBJECT

public:
    struct Message
    {
        bool isVCard = false;
        QString content; // text, or the vCard's file name
        QString id;
        int status = -1;
        QString reason; // the connection manager's, for a failure
    };

    SendCommand(const QString &accountPath, const QString &remoteUid, const QList<Message> &messages,
                int timeoutSeconds, QObject *parent = nullptr);

protected:
    void accountManagerReady() override;
    void timedOut() override;

private:
    void onStatus(const QString &messageId, int status);
    QString describe(int index) const;

    QString m_accountPath;
    QString m_remoteUid;
    QList<Message> m_messages;
    int m_waiting = 0;
    MessageSender *m_sender = nullptr;
};

#endif // MESSAGING_TOOL_COMMANDS_H
