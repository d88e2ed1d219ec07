// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "historydata_p.h"

#include <QCryptographicHash>

HistoryMessage::HistoryMessage()
    : d(new HistoryMessageData)
{
}

HistoryMessage::HistoryMessage(const HistoryMessage &other) = default;
HistoryMessage &HistoryMessage::operator=(const HistoryMessage &other) = default;
HistoryMessage::~HistoryMessage() = default;

qint64 HistoryMessage::id() const { return d->id; }
qint64 HistoryMessage::threadId() const { return d->threadId; }
HistoryMessage::Direction HistoryMessage::direction() const { return d->direction; }
bool HistoryMessage::isIncoming() const { return d->direction == Incoming; }
QString HistoryMessage::senderId() const { return d->senderId; }
QString HistoryMessage::token() const { return d->token; }
QDateTime HistoryMessage::sentTime() const { return d->sentTime; }
QDateTime HistoryMessage::receivedTime() const { return d->receivedTime; }
QString HistoryMessage::text() const { return d->text; }
QList<HistoryMessage::Part> HistoryMessage::parts() const { return d->parts; }
HistoryMessage::State HistoryMessage::state() const { return d->state; }
int HistoryMessage::statusCode() const { return d->statusCode; }
QString HistoryMessage::errorName() const { return d->errorName; }
bool HistoryMessage::isRead() const { return d->read || d->direction == Outgoing; }
QString HistoryMessage::snippet() const { return d->snippet; }

QDateTime HistoryMessage::time() const
{
    const QDateTime &first = d->direction == Incoming ? d->receivedTime : d->sentTime;
    return first.isValid() ? first : (d->direction == Incoming ? d->sentTime : d->receivedTime);
}

void HistoryMessage::setDirection(Direction direction)
{
    if (direction == d->direction)
        return;
    d->direction = direction;
    if (direction == Outgoing) {
        d->read = true;
        if (d->state == Received)
            d->state = Sending;
    } else if (d->state == Sending) {
        d->state = Received;
    }
}

void HistoryMessage::setSenderId(const QString &senderId) { d->senderId = senderId; }
void HistoryMessage::setToken(const QString &token) { d->token = token; }
void HistoryMessage::setSentTime(const QDateTime &time) { d->sentTime = time; }
void HistoryMessage::setReceivedTime(const QDateTime &time) { d->receivedTime = time; }
void HistoryMessage::setText(const QString &text) { d->text = text; }
void HistoryMessage::setParts(const QList<Part> &parts) { d->parts = parts; }
void HistoryMessage::setState(State state) { d->state = state; }
void HistoryMessage::setStatusCode(int statusCode) { d->statusCode = statusCode; }
void HistoryMessage::setErrorName(const QString &errorName) { d->errorName = errorName; }
void HistoryMessage::setRead(bool read) { d->read = read; }

QString HistoryMessage::storageToken() const
{
    if (!d->token.isEmpty())
        return d->token;
    // A connection manager that gives no token still gives the same sender,
    // time and text when it hands a pending message over again. Without a
    // sent time the received time (the connection manager's, fixed for a
    // pending message) stands in.
    const QDateTime &when = d->sentTime.isValid() ? d->sentTime : d->receivedTime;
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(d->senderId.toUtf8());
    hash.addData("\n", 1);
    hash.addData(QByteArray::number(when.isValid() ? when.toMSecsSinceEpoch() : 0));
    hash.addData("\n", 1);
    hash.addData(d->text.toUtf8());
    return QStringLiteral("standin:") + QString::fromLatin1(hash.result().toHex());
}
