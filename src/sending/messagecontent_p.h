// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_MESSAGECONTENT_P_H
#define MESSAGING0_MESSAGECONTENT_P_H

#include "messagecontent.h"

#include <QSharedData>

class MessageContentData : public QSharedData
{
public:
    QString account;
    QString remoteUid;
    QString message;
    MsgPartsList messageParts;
    bool isVCard = false;
    unsigned int flags = 0;
};

#endif // MESSAGING0_MESSAGECONTENT_P_H
