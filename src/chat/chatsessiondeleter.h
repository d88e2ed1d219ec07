#ifndef MESSAGING0_CHATSESSIONDELETER_H
#define MESSAGING0_CHATSESSIONDELETER_H

class ChatSession;

// The deleter of the sessions the manager makes, run when the last holder
// lets go. The channel is asked to close at once: a request for the same
// conversation made before the event loop deletes the session then reaches
// the connection manager after the close, and is never answered with the
// channel that is about to go. The object itself is deleted from the event
// loop, as the last holder may let go from inside one of its own signals.
void deleteChatSessionLater(ChatSession *session);

#endif // MESSAGING0_CHATSESSIONDELETER_H
