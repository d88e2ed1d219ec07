// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING_TESTCM_TESTCONNECTION_H
#define MESSAGING_TESTCM_TESTCONNECTION_H

#include "testchannel.h"

#include <TelepathyQt/BaseConnection>

#include <QHash>

class TestControl;

// A connection of the test connection manager: handles are numbered per
// handle type in order of first use (self is contact handle 1).
class TestConnection : public Tp::BaseConnection
{
    Q_OBJECT
public:
    static Tp::SharedPtr<TestConnection> create(const QString &cmName, const QString &protocolName,
                                                const QVariantMap &parameters, TestControl *control);

    // Telepathy-Qt derives the object path from the object's address; a new
    // connection after a drop could then reuse the old path.
    QString uniqueName() const override;

    TestControl *control() const { return m_control; }
    bool isCellular() const;
    bool isLive() const { return !m_gone; }

    uint ensureHandle(uint handleType, const QString &id);
    QString handleId(uint handleType, uint handle) const;

    QList<TestChannelPtr> liveChannels() const;
    TestChannelPtr findChannel(uint handleType, const QString &targetId) const;
    TestChannelPtr channelForPath(const QString &path) const;
    TestChannelPtr openIncomingChannel(const TestChannel::Setup &setup);

    void finishConnecting();
    void drop(uint reason);
    // The connection changes the local user's presence by itself (as a
    // server would); false for a status it does not know.
    bool changeOwnPresence(const QString &status, const QString &message);

protected:
    bool matchChannel(const Tp::BaseChannelPtr &channel, const QVariantMap &request,
                      Tp::DBusError *error) override;

private:
    TestConnection(const QDBusConnection &bus, const QString &cmName, const QString &protocolName,
                   const QVariantMap &parameters, TestControl *control);
    void setUp();
    void connectRequested(Tp::DBusError *error);
    Tp::BaseChannelPtr createChannelRequested(const QVariantMap &request, Tp::DBusError *error);
    QStringList inspectHandles(uint handleType, const Tp::UIntList &handles, Tp::DBusError *error);
    Tp::UIntList requestHandles(uint handleType, const QStringList &ids, Tp::DBusError *error);
    Tp::ContactAttributesMap contactAttributes(const Tp::UIntList &handles, const QStringList &interfaces,
                                               Tp::DBusError *error);
    uint setPresence(const QString &status, const QString &message, Tp::DBusError *error);
    void track(const TestChannelPtr &channel);

    TestControl *m_control;
    uint m_serial;
    bool m_gone = false;
    QHash<uint, QStringList> m_handles; // handle type -> ids, handle = index + 1
    QList<TestChannelPtr> m_channels;
    Tp::BaseConnectionSimplePresenceInterfacePtr m_presence;
};

typedef Tp::SharedPtr<TestConnection> TestConnectionPtr;

#endif
