// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "historymessages.h"

#include "historystore.h"
#include "messagestatus.h"

#include <TelepathyQt/Constants>
#include <TelepathyQt/ReceivedMessage>

namespace {

const QString ContentType = QStringLiteral("content-type");
const QString Content = QStringLiteral("content");
const QString TextPlain = QStringLiteral("text/plain");

// The non-text parts after the header: their type, size and body.
QList<HistoryMessage::Part> nonTextParts(const MsgPartsList &parts)
{
    QList<HistoryMessage::Part> result;
    for (int i = 1; i < parts.size(); ++i) {
        const QMap<QString, QDBusVariant> &part = parts.at(i);
        const QString type = part.value(ContentType).variant().toString();
        if (type == TextPlain || !part.contains(Content))
            continue;
        const QVariant content = part.value(Content).variant();
        HistoryMessage::Part stored;
        stored.mimeType = type;
        stored.body = content.userType() == QMetaType::QByteArray ? content.toByteArray()
                                                                   : content.toString().toUtf8();
        bool known = false;
        const qint64 size = part.value(QStringLiteral("size")).variant().toLongLong(&known);
        stored.size = known && size > 0 ? size : stored.body.size();
        result.append(stored);
    }
    return result;
}

} // namespace

namespace HistoryMessages {

HistoryMessage fromReceived(const Tp::ReceivedMessage &message)
{
    HistoryMessage stored;
    stored.setDirection(HistoryMessage::Incoming);
    // As IncomingMessage names the sender, so that the UI and the history agree.
    QString sender = message.header().value(QStringLiteral("message-sender-id")).variant().toString();
    if (sender.isEmpty() && message.sender())
        sender = message.sender()->id();
    stored.setSenderId(sender);
    stored.setToken(message.messageToken());
    // Only what the connection manager says: a time of our own would differ
    // between two processes and split the stand-in key of a message
    // without a token.
    stored.setSentTime(message.sent());
    stored.setReceivedTime(message.received());
    stored.setText(message.text());
    MsgPartsList parts;
    for (const Tp::MessagePart &part : message.parts())
        parts << part;
    stored.setParts(nonTextParts(parts));
    stored.setState(HistoryMessage::Received);
    stored.setRead(message.isScrollback());
    return stored;
}

HistoryMessage fromSent(const QString &token, const MsgPartsList &parts)
{
    HistoryMessage stored;
    stored.setDirection(HistoryMessage::Outgoing);
    stored.setToken(token);
    stored.setSentTime(QDateTime::currentDateTime());
    QString text;
    for (int i = 1; i < parts.size(); ++i) {
        if (parts.at(i).value(ContentType).variant().toString() == TextPlain)
            text += parts.at(i).value(Content).variant().toString();
    }
    stored.setText(text);
    stored.setParts(nonTextParts(parts));
    stored.setState(HistoryMessage::Sending);
    return stored;
}

bool storeReceived(HistoryStore *store, const ChatContext &context, const Tp::ReceivedMessage &message,
                   const QString &aboutToken)
{
    if (!store || !store->isOpen())
        return false;
    if (!message.isDeliveryReport())
        return store->addMessage(context, fromReceived(message)) >= 0;

    const Tp::ReceivedMessage::DeliveryDetails details = message.deliveryDetails();
    if (!details.isValid())
        return true;
    const QString token = aboutToken.isEmpty() ? details.originalToken() : aboutToken;
    HistoryMessage::State state;
    int statusCode = 0;
    QString errorName;
    switch (details.status()) {
    case Tp::DeliveryStatusDelivered:
    case Tp::DeliveryStatusRead:
        state = HistoryMessage::Delivered;
        break;
    case Tp::DeliveryStatusAccepted:
        state = HistoryMessage::Sent;
        break;
    case Tp::DeliveryStatusPermanentlyFailed:
        state = HistoryMessage::Failed;
        statusCode = MessageStatus::SendFailed;
        errorName = details.dbusError();
        break;
    default:
        // "Temporarily failed" and the like: the network goes on trying,
        // and the message's state stays what it is.
        return true;
    }
    if (token.isEmpty() || store->setMessageState(context, token, state, statusCode, errorName))
        return true;
    // A report about a message the history does not have (sent by a client
    // that kept no history) has nothing to change, nor has one that the
    // message's state has passed already (delivered before "accepted"
    // arrives); one whose write failed stays pending.
    const qint64 id = store->messageId(context, token);
    if (id < 0)
        return store->isOpen();
    const HistoryMessage::State now = store->message(id).state();
    return now == state || now == HistoryMessage::Delivered;
}

} // namespace HistoryMessages
