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

// For hash tables keyed by context. Raw strings go in, so two contexts that
// are equal as conversations (SMS/MMS, differently written numbers) may hash
// differently: lookups need the exact key.
uint qHash(const ChatContext &context, uint seed = 0);


#endif // MESSAGING0_CHATCONTEXT_P_H
