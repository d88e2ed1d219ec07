#include "chatsessionerror.h"

ChatSessionError::ChatSessionError(ErrorType type, const QString &message, const QString &request,
                                   const QString &account, const QString &remoteId)
    : m_type(type), m_message(message), m_request(request), m_account(account),
      m_remoteId(remoteId)
{
}

ChatSessionError::ChatSessionError(const QString &errorName, const QString &message,
                                   const QString &request, const QString &account,
                                   const QString &remoteId)
    : ChatSessionError(typeFromErrorName(errorName), message, request, account, remoteId)
{
}

ChatSessionError::ChatSessionError(const ChatSessionError &other) = default;
ChatSessionError &ChatSessionError::operator=(const ChatSessionError &other) = default;
ChatSessionError::~ChatSessionError() = default;

ChatSessionError::ErrorType ChatSessionError::typeFromErrorName(const QString &errorName)
{
    static const struct {
        const char *name;
        ErrorType type;
    } mapping[] = {
        { "org.freedesktop.Telepathy.Error.Disconnected", DisconnectedError },
        { "org.freedesktop.Telepathy.Error.InvalidHandle", InvalidHandleError },
        { "org.freedesktop.Telepathy.Error.NotYours", NotYoursError },
        { "org.freedesktop.Telepathy.Error.Cancelled", CancelledError },
        { "org.freedesktop.Telepathy.Error.Offline", OfflineError },
        { "org.freedesktop.Telepathy.Error.DoesNotExist", InvalidHandleError },
    };
    for (const auto &m : mapping) {
        if (errorName == QLatin1String(m.name))
            return m.type;
    }
    return UnknownError;
}

ChatSessionError::ErrorType ChatSessionError::type() const { return m_type; }
QString ChatSessionError::message() const { return m_message; }
QString ChatSessionError::request() const { return m_request; }
QString ChatSessionError::account() const { return m_account; }
QString ChatSessionError::remoteId() const { return m_remoteId; }

void ChatSessionError::setType(ErrorType type) { m_type = type; }
void ChatSessionError::setMessage(const QString &message) { m_message = message; }
void ChatSessionError::setRequest(const QString &request) { m_request = request; }
void ChatSessionError::setAccount(const QString &account) { m_account = account; }
void ChatSessionError::setRemoteId(const QString &remoteId) { m_remoteId = remoteId; }

bool ChatSessionError::isValid() const
{
    return m_type != NoError;
}
