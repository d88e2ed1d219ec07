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

// The library's one rule for "the same conversation", used wherever it
// finds what belongs to a context: requests in flight, offered channel
// requests and live sessions. The same account path string (no SMS/MMS
// folding: each account has its own channels) and chat type, and remote
// uids that match as addresses (PhoneNumberUtils, default flags), so that a
// number written in another form finds its conversation. Stricter about the
// account than ChatContext::operator==, and without its one-sided empty uid.
bool isSameConversation(const ChatContext &a, const ChatContext &b);


#endif // MESSAGING0_CHATCONTEXT_P_H
