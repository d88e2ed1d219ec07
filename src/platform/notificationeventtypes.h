// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_NOTIFICATIONEVENTTYPES_H
#define MESSAGING0_NOTIFICATIONEVENTTYPES_H

// Event types of the notifications the library publishes; the notification
// system styles them (and the validator finds its own earlier ones) by these.
namespace NotificationEventTypes {

// A cellular message cannot leave, e.g. there is no SIM card.
inline constexpr char MessagingError[] = "x-tavik.messaging.error";
// A message that was handed to Telepathy failed to be sent.
inline constexpr char MessagingErrorStrong[] = "x-tavik.messaging.error.strong";

// Incoming messages of a conversation that is not on screen.
inline constexpr char MessagingIncoming[] = "x-tavik.messaging.incoming";

} // namespace NotificationEventTypes

#endif // MESSAGING0_NOTIFICATIONEVENTTYPES_H
