// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_HISTORYDATA_P_H
#define MESSAGING0_HISTORYDATA_P_H

#include "historymessage.h"
#include "historythread.h"

#include <QSharedData>

class HistoryMessageData : public QSharedData
{
public:
    qint64 id = -1;
    qint64 threadId = -1;
    HistoryMessage::Direction direction = HistoryMessage::Incoming;
    QString senderId;
    QString token;
    QDateTime sentTime;
    QDateTime receivedTime;
    QString text;
    QList<HistoryMessage::Part> parts;
    HistoryMessage::State state = HistoryMessage::Received;
    int statusCode = 0;
    QString errorName;
    bool read = false;
    QString snippet;
};

class HistoryThreadData : public QSharedData
{
public:
    qint64 id = -1;
    QString accountPath;
    QStringList remoteIds;
    ChatType chatType = OneToOneChat;
    qint64 lastMessageId = -1;
    QString lastText;
    QDateTime lastTime;
    bool lastIncoming = false;
    HistoryMessage::State lastState = HistoryMessage::Received;
    int unreadCount = 0;
    QString draft;
    QString topic;
};

#endif // MESSAGING0_HISTORYDATA_P_H
