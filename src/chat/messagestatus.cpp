#include "messagestatus.h"

constexpr qint64 MessageStatus::MaximumMessageSize;

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
    default: return QStringLiteral("error %1").arg(status);
    }
}
