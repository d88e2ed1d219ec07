#include "messagestatus.h"

#include "chatsession.h"
#include "chatsessionerror.h"

// The codes are shared with the session's and the error's own enumerations;
// they must never drift apart.
static_assert(int(MessageStatus::Sent) == int(ChatSession::MessageSent), "status values");
static_assert(int(MessageStatus::NoChannel) == int(ChatSession::MessageNoChannel), "status values");
static_assert(int(MessageStatus::SendFailed) == int(ChatSession::MessageSendFailed), "status values");
static_assert(int(MessageStatus::MessageTooLarge) == int(ChatSession::MessageTooLarge), "status values");
static_assert(int(MessageStatus::UnknownError) == int(ChatSessionError::UnknownError), "status values");
static_assert(int(MessageStatus::Disconnected) == int(ChatSessionError::DisconnectedError), "status values");
static_assert(int(MessageStatus::Cancelled) == int(ChatSessionError::CancelledError), "status values");
static_assert(int(MessageStatus::AccountManagerUnavailable) == int(ChatSessionError::AccountManagerError),
              "status values");
static_assert(int(MessageStatus::InvalidAccount) == int(ChatSessionError::InvalidAccountError), "status values");
static_assert(int(MessageStatus::InvalidHandle) == int(ChatSessionError::InvalidHandleError), "status values");
static_assert(int(MessageStatus::Offline) == int(ChatSessionError::OfflineError), "status values");
static_assert(int(MessageStatus::ChannelRequestFailed) == int(ChatSessionError::ChannelRequestError),
              "status values");
static_assert(int(MessageStatus::NotYours) == int(ChatSessionError::NotYoursError), "status values");

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
