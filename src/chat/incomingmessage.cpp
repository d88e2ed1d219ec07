// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "incomingmessage.h"
#include "incomingmessage_p.h"

#include <TelepathyQt/ReceivedMessage>

IncomingMessage::IncomingMessage()
    : d(new IncomingMessageData)
{
}

IncomingMessage::IncomingMessage(const IncomingMessage &other) = default;
IncomingMessage &IncomingMessage::operator=(const IncomingMessage &other) = default;
IncomingMessage::~IncomingMessage() = default;

QString IncomingMessage::senderId() const { return d->senderId; }
QString IncomingMessage::senderNickname() const { return d->senderNickname; }
QString IncomingMessage::text() const { return d->text; }
MsgPartsList IncomingMessage::parts() const { return d->parts; }
QDateTime IncomingMessage::received() const { return d->received; }
QDateTime IncomingMessage::sent() const { return d->sent; }
QString IncomingMessage::token() const { return d->token; }
uint IncomingMessage::messageType() const { return d->messageType; }
bool IncomingMessage::isRescued() const { return d->rescued; }
bool IncomingMessage::isScrollback() const { return d->scrollback; }
bool IncomingMessage::isDeliveryReport() const { return d->deliveryReport; }
int IncomingMessage::deliveryStatus() const { return d->deliveryStatus; }
QString IncomingMessage::deliveredToken() const { return d->deliveredToken; }
QString IncomingMessage::deliveredMessageId() const { return d->deliveredMessageId; }
QString IncomingMessage::deliveryError() const { return d->deliveryError; }

IncomingMessage IncomingMessage::fromReceived(const Tp::ReceivedMessage &message)
{
    IncomingMessage incoming;
    IncomingMessageData *data = incoming.d.data();
    data->senderId = message.header().value(QStringLiteral("message-sender-id")).variant().toString();
    if (data->senderId.isEmpty() && message.sender())
        data->senderId = message.sender()->id();
    // From the header: the contact's alias would need a feature we do not
    // make ready.
    data->senderNickname = message.header().value(QStringLiteral("sender-nickname")).variant().toString();
    data->text = message.text();
    const Tp::MessagePartList parts = message.parts();
    data->parts.reserve(parts.size());
    for (const Tp::MessagePart &part : parts)
        data->parts << part;
    data->received = message.received();
    data->sent = message.sent();
    data->token = message.messageToken();
    data->messageType = uint(message.messageType());
    data->rescued = message.isRescued();
    data->scrollback = message.isScrollback();

    if (message.isDeliveryReport()) {
        const Tp::ReceivedMessage::DeliveryDetails details = message.deliveryDetails();
        data->deliveryReport = true;
        if (details.isValid()) {
            data->deliveryStatus = int(details.status());
            data->deliveredToken = details.originalToken();
            data->deliveryError = details.dbusError();
        }
    }
    return incoming;
}

void IncomingMessage::setDeliveredMessageId(const QString &messageId)
{
    d->deliveredMessageId = messageId;
}
