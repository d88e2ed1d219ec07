// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING_TELEPATHYTESTENVIRONMENT_H
#define MESSAGING_TELEPATHYTESTENVIRONMENT_H

#include "testcmcontrol.h"

#include <TelepathyQt/Account>
#include <TelepathyQt/AccountManager>
#include <TelepathyQt/ClientRegistrar>
#include <TelepathyQt/TextChannel>

#include <QHash>
#include <QObject>

// Shared fixture for tests run with `run-in-private-bus --telepathy`: Mission
// Control with the seeded accounts (paths below), the test connection
// managers and a handler of the test's own, "MessagingTest", to which the
// channels this fixture requests are handed. Every wait has a timeout; a
// failure is a null result plus a warning naming what did not happen.
class TelepathyTestEnvironment : public QObject
{
    Q_OBJECT
public:
    static const QString CellularAccountPath;    // tala/tel/tala, connects automatically
    static const QString MmsAccountPath;         // vexo/mms/mms0, connects automatically
    static const QString ImAccountPath;          // loopback/loop/alice0, connects automatically
    static const QString DisabledImAccountPath;  // loopback/loop/bob0, disabled
    static const QString TestHandlerName;        // "MessagingTest"
    static const QString TestHandlerBusName;     // org.freedesktop.Telepathy.Client.MessagingTest

    explicit TelepathyTestEnvironment(QObject *parent = nullptr);
    ~TelepathyTestEnvironment() override;

    // Makes the account manager ready and registers the test's handler.
    bool init(int timeoutMs = 10000);
    Tp::AccountManagerPtr accountManager() const { return m_accountManager; }

    // A ready account (null when there is none with this path).
    Tp::AccountPtr account(const QString &path, int timeoutMs = 10000);
    // A ready account whose connection is Connected and ready.
    // Generous: under the sanitizers, with the suite running in parallel,
    // Mission Control and the connection manager start slowly.
    Tp::AccountPtr connectedAccount(const QString &path, int timeoutMs = 30000);

    // Requests a text channel through Mission Control with MessagingTest as
    // the preferred handler and returns it ready with the message queue and
    // sent-message features. handleType 0 targets a persistent id.
    Tp::TextChannelPtr ensureTextChannel(const QString &accountPath, uint handleType, const QString &target,
                                         int timeoutMs = 10000);
    // Channels handed to MessagingTest so far (oldest first), and a wait for
    // one with the given object path.
    QList<Tp::TextChannelPtr> handledChannels() const { return m_handled; }
    Tp::TextChannelPtr waitForHandledChannel(const QString &objectPath, int timeoutMs = 10000);

    // The control interface of the account's connection manager (manager
    // name from the account path).
    TestCmControl &control(const QString &accountPath);
    static QString managerOf(const QString &accountPath);

    // Drops the account's connection (the manager then keeps new attempts
    // "connecting") and waits until the account is no longer connected.
    bool dropConnection(const QString &accountPath, uint reason = Tp::ConnectionStatusReasonNetworkError,
                        int timeoutMs = 10000);
    // Lets the account connect again (asking Mission Control to reconnect
    // when it is not already trying) and waits for a ready, connected
    // connection.
    bool restoreConnection(const QString &accountPath, int timeoutMs = 10000);

    // Contacts of a connection by identifier (empty when they cannot be had).
    QList<Tp::ContactPtr> contacts(const Tp::ConnectionPtr &connection, const QStringList &ids,
                                   int timeoutMs = 10000);

    // Returns once every test connection manager running has answered a call
    // made now, and what came before that answer has been delivered here:
    // channels closed without waiting for the reply (as a session's
    // destructor does) are then closed in this process too. The destructor
    // calls it, so that a test's last sessions leave nothing in flight at
    // exit, where LeakSanitizer would find their half-finished teardown.
    bool settle(int timeoutMs = 10000);

    // The request map the library (or this fixture) sends for a text channel.
    static QVariantMap textChannelRequest(uint handleType, const QString &target);

Q_SIGNALS:
    void channelHandled(const Tp::TextChannelPtr &channel);

private:
    class Handler;
    friend class Handler;
    void onChannelsHandled(const QList<Tp::ChannelPtr> &channels);
    // For failure reports: what the test connection manager knows of it.
    QString describeManager(const QString &accountPath);

    Tp::AccountManagerPtr m_accountManager;
    Tp::ClientRegistrarPtr m_registrar;
    Tp::SharedPtr<Handler> m_handler;
    QList<Tp::TextChannelPtr> m_handled;
    QHash<QString, TestCmControl *> m_controls;
};

#endif
