// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING_HISTORY_HISTORYOBSERVER_H
#define MESSAGING_HISTORY_HISTORYOBSERVER_H

#include <messaging0/chatcontext.h>

#include <TelepathyQt/AbstractClientObserver>
#include <TelepathyQt/Message>
#include <TelepathyQt/ReceivedMessage>
#include <TelepathyQt/TextChannel>

#include <QHash>
#include <QObject>
#include <QTimer>

class HistoryStore;

// The Telepathy observer "MessagingHistory": keeps every message of every
// text channel in the history, whichever client handles the channel.
//
// - Messages waiting on a channel when it is observed (a new channel, or
//   every channel again after a restart: the client file asks Mission
//   Control to recover) and every message arriving later are stored; an
//   observer never acknowledges, so a message not stored yet when this
//   process dies is still pending and is stored after the restart. Mission
//   Control is answered once the waiting messages are stored, so the
//   handler only gets a channel whose messages are kept.
// - Delivery reports set the state of the message they are about.
// - What another client sends on a channel is stored once sent; on the
//   channels of the library's own handler the library records its sends
//   itself, under its message ids.
// - idle() is emitted when no channel has been observed for IdleMs.
//
// Reference counted, as every Telepathy-Qt client: held by main() and the
// client registrar. The store is main()'s.
class HistoryObserver : public QObject, public Tp::AbstractClientObserver
{
    Q_OBJECT

public:
    static constexpr int IdleMs = 5000;
    // How far back recordedByLibrary() looks.
    static constexpr int RecentSends = 20;
    static constexpr int RecentSendSeconds = 120;

    explicit HistoryObserver(HistoryStore *store);
    ~HistoryObserver() override;

    void observeChannels(const Tp::MethodInvocationContextPtr<> &context, const Tp::AccountPtr &account,
                         const Tp::ConnectionPtr &connection, const QList<Tp::ChannelPtr> &channels,
                         const Tp::ChannelDispatchOperationPtr &dispatchOperation,
                         const QList<Tp::ChannelRequestPtr> &requestsSatisfied,
                         const Tp::AbstractClientObserver::ObserverInfo &observerInfo) override;

    // Starts the wait for idle() again when no channel is observed.
    void checkIdle();

Q_SIGNALS:
    void idle();

private:
    struct Observed
    {
        Tp::TextChannelPtr channel;
        ChatContext context;
        // Whether the library's handler has the channel: unknown (-1) until
        // the first message sent on it asks.
        int libraryHandles = -1;
        // Sent messages waiting for that answer.
        QList<Tp::Message> waitingSends;
        QStringList waitingTokens;
    };

    // Starts recording a ready channel.
    void watch(const Tp::TextChannelPtr &channel, const Tp::AccountPtr &account);
    void store(Observed *observed, const Tp::ReceivedMessage &message);
    void sent(const QString &path, const Tp::Message &message, const QString &token);
    void storeSent(Observed *observed, const Tp::Message &message, const QString &token);
    // Whether the thread has the same text sent moments ago: the library's
    // record of the message, under its own id.
    bool recordedByLibrary(Observed *observed, const Tp::Message &message) const;
    void forget(const QString &path);

    HistoryStore *m_store;
    QHash<QString, Observed *> m_channels;
    QTimer m_idle;
};

#endif // MESSAGING_HISTORY_HISTORYOBSERVER_H
