// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_INCOMINGMESSAGE_P_H
#define MESSAGING0_INCOMINGMESSAGE_P_H

#include "incomingmessage.h"

#include <QSharedData>

class IncomingMessageData : public QSharedData
{
public:
    QString senderId;
    QString senderNickname;
    QString text;
    MsgPartsList parts;
    QDateTime received;
    QDateTime sent;
    QString token;
    uint messageType = 0;
    bool rescued = false;
    bool scrollback = false;
    bool deliveryReport = false;
    int deliveryStatus = 0;
    QString deliveredToken;
    QString deliveredMessageId;
    QString deliveryError;
};

#endif // MESSAGING0_INCOMINGMESSAGE_P_H
