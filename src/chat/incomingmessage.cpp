#include "incomingmessage.h"
#include "incomingmessage_p.h"

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
