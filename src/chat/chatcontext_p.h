// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_CHATCONTEXT_P_H
#define MESSAGING0_CHATCONTEXT_P_H

#include "accountpaths.h"
#include "chatcontext.h"

#include <QSharedData>

class ChatContextData : public QSharedData
{
public:
    QString remoteUid;
    QString accountPath;
    ChatType chatType = OneToOneChat;
    int conversationId = -1;
};

#endif // MESSAGING0_CHATCONTEXT_P_H
