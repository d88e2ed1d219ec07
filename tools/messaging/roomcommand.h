// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING_TOOL_ROOMCOMMAND_H
#define MESSAGING_TOOL_ROOMCOMMAND_H

#include "commands.h"

#include <messaging0/mucchatsession.h>

class QCoreApplication;

// messaging room ACCOUNT ROOM [--topic TEXT] [--leave] [--members]: joins
// the room (or finds it joined), then, in this order, prints its members,
// sets its topic and leaves it. Without an option it prints the topic and
// the members.
class RoomCommand : public Command
{
    Q_OBJECT

public:
    struct Actions
    {
        bool members = false;
        bool showTopic = false;
        bool setTopic = false;
        QString topic;
        bool leave = false;
    };

    RoomCommand(const QString &accountPath, const QString &room, const Actions &actions, int timeoutSeconds,
                QObject *parent = nullptr);

protected:
    void accountManagerReady() override;

private:
    void joined();
    void next();

    QString m_accountPath;
    QString m_room;
    Actions m_actions;
    QSharedPointer<MucChatSession> m_session;
    bool m_started = false;
    int m_exitCode = ExitSuccess;
};

int runRoom(QCoreApplication &app, const QStringList &arguments);

#endif // MESSAGING_TOOL_ROOMCOMMAND_H
