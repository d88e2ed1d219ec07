// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_MESSAGESTATUS_H
#define MESSAGING0_MESSAGESTATUS_H

#include "messaging0global.h"

#include <QObject>
#include <QString>

//! Every value that messageStatusChanged(messageId, status) of ChatSession
//! and MessageSender carries: the library's one table of statuses. 0 means
//! sent; every other value is a failure. The session's codes
//! (ChatSession::MessageStatus), the ChatSessionError::ErrorType of a
//! conversation that could not be opened or was lost, and the sender's own
//! codes are named from here; the numbers never change.
class MESSAGING0_EXPORT MessageStatus
{
    Q_GADGET

public:
    //! The values.
    enum Code {
        //! Telepathy has taken the message.
        Sent = 0,
        //! A Telepathy error without a more precise mapping.
        UnknownError = 1,
        //! The session has no ready channel; nothing was sent.
        NoChannel = 2,
        //! The connection went away.
        Disconnected = 3,
        //! The channel or the request was cancelled.
        Cancelled = 4,
        //! The Telepathy account manager is not available.
        AccountManagerUnavailable = 5,
        //! No usable account under the given path.
        InvalidAccount = 6,
        //! The recipient does not exist or cannot be addressed.
        InvalidHandle = 7,
        //! The account is offline.
        Offline = 8,
        //! The channel for the conversation could not be opened.
        ChannelRequestFailed = 9,
        //! The conversation's channel belongs to another client.
        NotYours = 10,
        //! The connection manager refused the message.
        SendFailed = 15,
        //! The vCard file could not be read (or was empty).
        VCardUnreadable = 23,
        //! The message is larger than MaximumMessageSize; nothing was sent.
        MessageTooLarge = 24,
        //! No status came within the bound of "/Messaging/Settings/StatusTimeout"
        //! (MessageSender); the message may or may not have left.
        TimedOut = 25,
        //! The send queue retried the message for its whole retry period
        //! (QueuedMessageSender) and gave up.
        RetriesExhausted = 26
    };
    Q_ENUM(Code)

    //! The largest message, in bytes of content (texts counted in UTF-8,
    //! binary content such as a vCard as it is, plus the part headers), that
    //! the library puts on the bus. 1 MiB: the largest MMS that operators'
    //! message centres accept is in the range of 300 KiB to 1 MiB (the MMS
    //! content classes stop at 600 KiB), a concatenated SMS tops out near
    //! 40 KB, instant-messaging servers cap a single stanza or line well below
    //! that, and a vCard with a photo fits comfortably. The session bus drops
    //! a connection that sends one message above its own limit (32 MiB by
    //! default) and libdbus aborts the process above 128 MiB, so the check
    //! keeps far from both.
    static constexpr qint64 MaximumMessageSize = 1024 * 1024;

    //! True for every code other than Sent.
    static bool isFailure(int status) { return status != Sent; }
    //! How a retrying send queue sorts a failure: true when the message may
    //! well leave on a later attempt, because of the connection or the
    //! device rather than the message: NoChannel, Disconnected, Cancelled,
    //! AccountManagerUnavailable, Offline, TimedOut, ChannelRequestFailed
    //! unless errorName (the D-Bus error the failure came with, where there
    //! is one) says the request itself is refused, and SendFailed when
    //! errorName says the connection was lost or the channel is gone. Every other status is final:
    //! Sent, InvalidHandle, MessageTooLarge, VCardUnreadable, InvalidAccount
    //! (no such account, or disabled), SendFailed for the connection
    //! manager's own reasons, NotYours, UnknownError, RetriesExhausted.
    static bool isTransient(int status, const QString &errorName = QString());
    //! A short English description of a status value, for logs and
    //! command-line tools ("sent", "the message is too large", ...); values
    //! the library never produces give "error <n>".
    static QString description(int status);
    //! What a person reads about a message with this status, from the
    //! library's catalogue (logical ids "lxr_..."): the one text that a user
    //! interface shows for a failure, the same whichever way the message went
    //! (directly or through the send queue). Null for Sent; values the
    //! library never produces give the general "could not be sent" text.
    //! Logs keep description().
    static QString userText(int status);
    //! What a person reads about a message whose delivery report says it
    //! was not delivered (ChatSession::DeliveryFailed), from the catalogue.
    static QString deliveryFailureText();
};

#endif // MESSAGING0_MESSAGESTATUS_H
