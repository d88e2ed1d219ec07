// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_CHATSESSIONCLOSE_H
#define MESSAGING0_CHATSESSIONCLOSE_H

class ChatSession;

// Asks the session's channel to close now, without waiting for the answer;
// the session's deletion then sends nothing more. For a session its last
// holder let go, whose deletion the event loop has yet to run (see
// SessionRegistry::closeLetGo()).
void closeChannelNow(ChatSession *session);

#endif // MESSAGING0_CHATSESSIONCLOSE_H
