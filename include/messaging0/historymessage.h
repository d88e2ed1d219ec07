// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_HISTORYMESSAGE_H
#define MESSAGING0_HISTORYMESSAGE_H

#include "messaging0global.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QSharedDataPointer>
#include <QString>

class HistoryMessageData;

//! One message of the conversation history, as HistoryStore keeps it.
//! Implicitly shared; setters detach.
//!
//! A message is identified within its thread by its token: the connection
//! manager's message token for incoming messages, the library's message id
//! for outgoing ones. Handing the same token to HistoryStore::addMessage()
//! twice stores the message once. A message without a token is identified
//! by its sender, sent time and text instead (standInToken()).
class MESSAGING0_EXPORT HistoryMessage
{
    Q_GADGET

public:
    //! Who wrote the message.
    enum Direction {
        Incoming = 0, //!< from the other party (or a member of the group)
        Outgoing = 1  //!< from this device's user
    };
    Q_ENUM(Direction)

    //! Where the message stands. The values are stored in the history file:
    //! they never change meaning.
    enum State {
        Received = 0,  //!< an incoming message
        Sending = 1,   //!< handed to the library, no answer yet
        Sent = 2,      //!< accepted by the connection manager
        Delivered = 3, //!< a delivery report said it arrived
        Failed = 4,    //!< refused or undeliverable; see statusCode() and errorName()
        Retrying = 5   //!< failed once, the send queue tries again
    };
    Q_ENUM(State)

    //! One non-text part (a vCard, a picture, …).
    struct Part
    {
        //! The part's MIME type, for example "text/vcard".
        QString mimeType;
        //! The body's size in bytes, kept even when the body is not.
        qint64 size = 0;
        //! The body; empty when larger than HistoryMessage::MaxPartBodySize.
        QByteArray body;
    };

    //! Bodies of parts up to this many bytes (1 MiB, the largest message
    //! that cellular MMS carries) are stored; a larger body is dropped and
    //! only its MIME type and size are kept.
    static constexpr qint64 MaxPartBodySize = 1024 * 1024;

    //! An empty incoming message in state Received, not read.
    HistoryMessage();
    //! A shared copy.
    HistoryMessage(const HistoryMessage &other);
    //! Shares other's data.
    HistoryMessage &operator=(const HistoryMessage &other);
    ~HistoryMessage();

    //! The store's id of the message; -1 before it is stored.
    qint64 id() const;
    //! The store's id of its thread; -1 before it is stored.
    qint64 threadId() const;
    //! Incoming or outgoing.
    Direction direction() const;
    //! True for incoming messages.
    bool isIncoming() const;
    //! The sender's contact id (empty for this device's user).
    QString senderId() const;
    //! The message's token (see the class description); may be empty.
    QString token() const;
    //! When the sender sent it; invalid when unknown.
    QDateTime sentTime() const;
    //! When it arrived here; invalid for outgoing messages and when unknown.
    QDateTime receivedTime() const;
    //! The time the thread orders by: the received time of an incoming
    //! message and the sent time of an outgoing one, the other when that is
    //! invalid. Messages read from the store always have one.
    QDateTime time() const;
    //! The text, parts concatenated.
    QString text() const;
    //! The non-text parts.
    QList<Part> parts() const;
    //! Where the message stands.
    State state() const;
    //! The MessageStatus value of a failure; 0 otherwise.
    int statusCode() const;
    //! The D-Bus error name of a failure; empty otherwise.
    QString errorName() const;
    //! Whether the user has seen it. Outgoing messages are always read.
    bool isRead() const;
    //! Set on HistoryStore::search() results only: the text around the
    //! first match, each match between "[" and "]".
    QString snippet() const;

    //! Sets who wrote it; outgoing messages are read and in state Sending
    //! unless set otherwise afterwards.
    void setDirection(Direction direction);
    //! Sets the sender's contact id.
    void setSenderId(const QString &senderId);
    //! Sets the token.
    void setToken(const QString &token);
    //! Sets when the sender sent it.
    void setSentTime(const QDateTime &time);
    //! Sets when it arrived.
    void setReceivedTime(const QDateTime &time);
    //! Sets the text.
    void setText(const QString &text);
    //! Sets the non-text parts.
    void setParts(const QList<Part> &parts);
    //! Sets the state.
    void setState(State state);
    //! Sets the MessageStatus value of a failure.
    void setStatusCode(int statusCode);
    //! Sets the D-Bus error name of a failure.
    void setErrorName(const QString &errorName);
    //! Sets whether the user has seen it.
    void setRead(bool read);

    //! The token under which the store keeps the message: token() when set,
    //! else a key made from the sender, the sent time and the text.
    QString storageToken() const;

private:
    friend class HistoryStore;
    friend class HistoryStorePrivate;
    QSharedDataPointer<HistoryMessageData> d;
};

Q_DECLARE_METATYPE(HistoryMessage)

#endif // MESSAGING0_HISTORYMESSAGE_H
