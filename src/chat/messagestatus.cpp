// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "messagestatus.h"

#include "librarycatalogue.h"

#include <TelepathyQt/Constants>

#include <algorithm>
#include <iterator>

constexpr qint64 MessageStatus::MaximumMessageSize;

namespace {

// Errors that say the request or the message itself is refused: asking
// again changes nothing.
const QLatin1String Refusals[] = {
    TP_QT_ERROR_INVALID_HANDLE,    TP_QT_ERROR_INVALID_ARGUMENT, TP_QT_ERROR_NOT_IMPLEMENTED,
    TP_QT_ERROR_NOT_CAPABLE,       TP_QT_ERROR_PERMISSION_DENIED, TP_QT_ERROR_NOT_YOURS,
    TP_QT_ERROR_CHANNEL_BANNED,    TP_QT_ERROR_CHANNEL_FULL,     TP_QT_ERROR_CHANNEL_INVITE_ONLY,
};

// Errors that say the connection went away under the message.
const QLatin1String ConnectionLosses[] = {
    TP_QT_ERROR_NETWORK_ERROR, TP_QT_ERROR_DISCONNECTED,      TP_QT_ERROR_CANCELLED, TP_QT_ERROR_OFFLINE,
    TP_QT_ERROR_NOT_AVAILABLE, TP_QT_ERROR_CONNECTION_LOST,  TP_QT_ERROR_ORPHANED,
    // The channel or its connection manager is gone from the bus.
    QLatin1String("org.freedesktop.DBus.Error.UnknownObject"),
    QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown"),
    QLatin1String("org.freedesktop.DBus.Error.NoReply"),
    QLatin1String("org.freedesktop.DBus.Error.Disconnected"),
};

template<size_t N>
bool isOneOf(const QString &errorName, const QLatin1String (&names)[N])
{
    return std::find(std::begin(names), std::end(names), errorName) != std::end(names);
}

} // namespace

bool MessageStatus::isTransient(int status, const QString &errorName)
{
    switch (status) {
    case NoChannel:
    case Disconnected:
    case Cancelled:
    case AccountManagerUnavailable:
    case Offline:
    case TimedOut:
        return true;
    case ChannelRequestFailed:
        return !isOneOf(errorName, Refusals);
    case SendFailed:
        return isOneOf(errorName, ConnectionLosses);
    default:
        return false;
    }
}

QString MessageStatus::description(int status)
{
    switch (status) {
    case Sent: return QStringLiteral("sent");
    case UnknownError: return QStringLiteral("unknown error");
    case NoChannel: return QStringLiteral("no usable channel");
    case Disconnected: return QStringLiteral("disconnected");
    case Cancelled: return QStringLiteral("cancelled");
    case AccountManagerUnavailable: return QStringLiteral("account manager not available");
    case InvalidAccount: return QStringLiteral("account not available");
    case InvalidHandle: return QStringLiteral("no such recipient");
    case Offline: return QStringLiteral("offline");
    case ChannelRequestFailed: return QStringLiteral("the conversation could not be opened");
    case NotYours: return QStringLiteral("the conversation belongs to another client");
    case SendFailed: return QStringLiteral("the connection refused the message");
    case VCardUnreadable: return QStringLiteral("the vCard file cannot be read");
    case MessageTooLarge: return QStringLiteral("the message is too large");
    case TimedOut: return QStringLiteral("no status came in time");
    case RetriesExhausted: return QStringLiteral("still failing after the whole retry period");
    default: return QStringLiteral("error %1").arg(status);
    }
}

// Time-outs, lost connections and refusals alike say what a person can tell
// from the outside: the message did not leave. The connection manager's own
// reason is English for developers and goes to the logs only.
QString MessageStatus::userText(int status)
{
    switch (status) {
    case Sent: return QString();
    case NoChannel:
    case ChannelRequestFailed: return LibraryCatalogue::trId("lxr_msg_error_conversation_not_open");
    case Disconnected:
    case Cancelled:
    case Offline: return LibraryCatalogue::trId("lxr_msg_error_no_connection");
    case AccountManagerUnavailable:
    case InvalidAccount: return LibraryCatalogue::trId("lxr_msg_error_account_unavailable");
    case InvalidHandle: return LibraryCatalogue::trId("lxr_msg_error_no_such_recipient");
    case NotYours: return LibraryCatalogue::trId("lxr_msg_error_other_application");
    case VCardUnreadable: return LibraryCatalogue::trId("lxr_msg_error_card_unreadable");
    case MessageTooLarge: return LibraryCatalogue::trId("lxr_msg_error_too_large");
    case TimedOut: return LibraryCatalogue::trId("lxr_msg_error_no_answer");
    case RetriesExhausted: return LibraryCatalogue::trId("lxr_msg_error_gave_up");
    default: return LibraryCatalogue::trId("lxr_msg_error_not_sent");
    }
}

QString MessageStatus::deliveryFailureText()
{
    return LibraryCatalogue::trId("lxr_msg_error_not_delivered");
}
