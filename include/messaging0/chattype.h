// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_CHATTYPE_H
#define MESSAGING0_CHATTYPE_H

//! \file
//! The kinds of conversation.

//! Kinds of conversation. The values are part of the interface: callers pass
//! them in and the session manager turns them into channel requests.
enum ChatType {
    OneToOneChat = 0,   //!< one contact; target handle type contact
    AdHocGroupChat = 1, //!< group chat without a target handle, named by a persistent id
    RoomChat = 2        //!< named chat room; target handle type room
};

#endif // MESSAGING0_CHATTYPE_H
