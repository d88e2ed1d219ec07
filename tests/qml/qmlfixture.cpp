// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "qmlfixture.h"

#include "testcmcontrol.h"
#include "testhelpers.h"

#include <messaging0/messagestatus.h>
#include <messaging0/sendvalidator.h>

#include <TelepathyQt/Account>
#include <TelepathyQt/AccountManager>
#include <TelepathyQt/AccountSet>
#include <TelepathyQt/Constants>
#include <TelepathyQt/PendingReady>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>

namespace {
QString managerOf(const QString &accountPath)
{
    // /org/freedesktop/Telepathy/Account/<manager>/<protocol>/<account>
    return accountPath.section(QLatin1Char('/'), 5, 5);
}

// The account's own connection, as Mission Control says: the manager may
// have another account's connection up at the same time.
QString connectionOf(const QString &accountPath)
{
    QDBusMessage get = QDBusMessage::createMethodCall(TP_QT_ACCOUNT_MANAGER_BUS_NAME, accountPath,
                                                      TP_QT_IFACE_PROPERTIES, QStringLiteral("Get"));
    get << TP_QT_IFACE_ACCOUNT << QStringLiteral("Connection");
    const QDBusReply<QDBusVariant> reply = QDBusConnection::sessionBus().call(get);
    return reply.isValid() ? reply.value().variant().value<QDBusObjectPath>().path() : QStringLiteral("/");
}
} // namespace

bool QmlFixture::loadAccounts()
{
    Tp::AccountManagerPtr manager = Tp::AccountManager::create(QDBusConnection::sessionBus());
    manager->becomeReady();
    if (!waitUntil([&] { return manager->isReady(); }, 10000))
        return false;
    const QList<Tp::AccountPtr> accounts = manager->validAccounts()->accounts();
    for (const Tp::AccountPtr &account : accounts) {
        m_accounts.append(QVariantMap{{QStringLiteral("path"), account->objectPath()},
                                      {QStringLiteral("name"), account->displayName()},
                                      {QStringLiteral("enabled"), account->isEnabled()}});
    }
    return true;
}

void QmlFixture::reset()
{
    for (const char *manager : {"tala", "vexo", "loopback"})
        TestCmControl(QString::fromLatin1(manager)).reset();
    if (m_device.isReady())
        m_device.restore();
}

void QmlFixture::failNextSend(const QString &accountPath, const QString &errorName, const QString &errorMessage)
{
    TestCmControl(managerOf(accountPath)).failNextSend(errorName, errorMessage);
}

void QmlFixture::injectMessage(const QString &accountPath, const QString &sender, const QString &text)
{
    TestCmControl(managerOf(accountPath)).injectMessage(connectionOf(accountPath), Tp::HandleTypeContact, QString(),
                                                       sender, text);
}

void QmlFixture::deliverLastSent(const QString &accountPath)
{
    TestCmControl control(managerOf(accountPath));
    const QList<TestCmControl::SentMessage> sent = control.sentMessages();
    if (!sent.isEmpty())
        control.injectDeliveryReport(sent.last().channelPath, sent.last().token, Tp::DeliveryStatusDelivered);
}

QStringList QmlFixture::sentTexts(const QString &accountPath)
{
    QStringList texts;
    const QList<TestCmControl::SentMessage> sent = TestCmControl(managerOf(accountPath)).sentMessages();
    for (const TestCmControl::SentMessage &message : sent)
        texts.append(message.text());
    return texts;
}

void QmlFixture::setSimPresent(bool present)
{
    m_device.setSimPresent(present);
}

void QmlFixture::setModemOnline(bool online)
{
    m_device.setModemOnline(online);
}

QString QmlFixture::statusText(int status) const
{
    return MessageStatus::userText(status);
}

QString QmlFixture::checkText(int code) const
{
    return SendValidator::failureText(code);
}
