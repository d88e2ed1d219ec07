// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// The account directory against a real Mission Control. Run twice: once with
// the cellular account lacking the SMS validity period, once with the
// runner seeding it (MESSAGING_TEST_VALIDITY_PERIOD).

#include "accountutils.h"
#include "telepathytestenvironment.h"
#include "testhelpers.h"

#include <TelepathyQt/PendingAccount>
#include <TelepathyQt/PendingStringList>

namespace {
using Env = TelepathyTestEnvironment;
const QString ValidityPeriod =
    QStringLiteral("org.freedesktop.Telepathy.Connection.Interface.Cellular.MessageValidityPeriod");
}

class TestAccountUtils : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void keepsEveryValidReadyAccountByPath();
    void validityPeriodIsSetOnlyWhenMissing();
    void parametersReadAndWrittenByPath();
    void followsParameterChangesMadeElsewhere();
    void invalidAccountLeavesSilentlyAndComesBack();
    void removedAccountLeavesWithASignal();

private:
    Tp::AccountPtr createLoopbackAccount(const QString &id);

    Env *m_env = nullptr;
    AccountUtils *m_utils = nullptr;
    QSignalSpy *m_managerReady = nullptr;
};

void TestAccountUtils::initTestCase()
{
    m_utils = AccountUtils::instance();
    QCOMPARE(AccountUtils::instance(), m_utils);
    QCOMPARE(m_utils->parent(), QCoreApplication::instance());
    QVERIFY(m_utils->accountManager());
    QVERIFY(!m_utils->telAccount()); // nothing is ready yet
    m_managerReady = new QSignalSpy(m_utils, &AccountUtils::accountManagerReady);
    QVERIFY(waitFor(*m_managerReady, 1, 20000));

    m_env = new Env(this);
    QVERIFY(m_env->init());
}

void TestAccountUtils::keepsEveryValidReadyAccountByPath()
{
    QTRY_VERIFY(m_utils->account(Env::CellularAccountPath));
    QTRY_VERIFY(m_utils->account(Env::MmsAccountPath));
    QTRY_VERIFY(m_utils->account(Env::ImAccountPath));
    // Disabled is still valid.
    QTRY_VERIFY(m_utils->account(Env::DisabledImAccountPath));
    QCOMPARE(m_utils->telAccount(), m_utils->account(Env::CellularAccountPath));
    QVERIFY(m_utils->telAccount()->isReady(Tp::Features() << Tp::Account::FeatureCore
                                                         << Tp::Account::FeatureAvatar));
    QVERIFY(!m_utils->account(QStringLiteral("/org/freedesktop/Telepathy/Account/no/such/account")));
    QVERIFY(!m_utils->account(QString()));
    QCOMPARE(m_managerReady->count(), 1);
}

void TestAccountUtils::validityPeriodIsSetOnlyWhenMissing()
{
    const QByteArray seeded = qgetenv("MESSAGING_TEST_VALIDITY_PERIOD");
    QTRY_VERIFY(m_utils->telAccount());
    if (seeded.isEmpty()) {
        QTRY_COMPARE(m_utils->accountProperty(Env::CellularAccountPath, ValidityPeriod), QVariant(38102400u));
        QCOMPARE(m_utils->accountProperty(Env::CellularAccountPath, ValidityPeriod).userType(),
                 int(QMetaType::UInt));
    } else {
        // Whatever value was there stays, 0 included.
        QTest::qWait(300);
        QCOMPARE(m_utils->accountProperty(Env::CellularAccountPath, ValidityPeriod).toUInt(),
                 seeded.toUInt());
    }
    // Only the cellular protocol gets one.
    QTRY_VERIFY(m_utils->account(Env::MmsAccountPath));
    QVERIFY(!m_utils->accountProperty(Env::MmsAccountPath, ValidityPeriod).isValid());
    QVERIFY(!m_utils->accountProperty(Env::ImAccountPath, ValidityPeriod).isValid());

    // Checking again with the parameter present changes nothing. The write
    // above comes back as accountPropertiesChanged through a queued
    // connection, posted by the time the new value is visible: delivered
    // first, so that only a second write would count.
    QCoreApplication::sendPostedEvents();
    QSignalSpy changed(m_utils, &AccountUtils::accountPropertiesChanged);
    m_utils->checkMessageValidityPeriod(m_utils->telAccount());
    m_utils->checkMessageValidityPeriod(m_utils->account(Env::ImAccountPath));
    m_utils->checkMessageValidityPeriod(Tp::AccountPtr());
    QTest::qWait(300);
    QCOMPARE(changed.count(), 0);
}

void TestAccountUtils::parametersReadAndWrittenByPath()
{
    QTRY_VERIFY(m_utils->account(Env::ImAccountPath));
    QCOMPARE(m_utils->accountProperty(Env::ImAccountPath, QStringLiteral("account")).toString(),
             QStringLiteral("alice@loop.test"));
    QVERIFY(!m_utils->accountProperty(Env::ImAccountPath, QStringLiteral("no-such-parameter")).isValid());
    QVERIFY(!m_utils->accountProperty(QStringLiteral("/nowhere"), QStringLiteral("account")).isValid());
    Tp::AccountPtr none;
    QVERIFY(!m_utils->accountProperty(none, QStringLiteral("account")).isValid());
    m_utils->setAccountProperty(none, QStringLiteral("account"), QStringLiteral("x")); // no effect, no crash
    m_utils->setAccountProperty(QStringLiteral("/nowhere"), QStringLiteral("account"), QStringLiteral("x"));

    QSignalSpy changed(m_utils, &AccountUtils::accountPropertiesChanged);
    m_utils->setAccountProperty(Env::CellularAccountPath, ValidityPeriod, 3600u);
    QVERIFY(waitFor(changed));
    QCOMPARE(changed.last().at(0).toString(), Env::CellularAccountPath);
    QCOMPARE(changed.last().at(1).toMap().value(ValidityPeriod).toUInt(), 3600u);
    QCOMPARE(m_utils->accountProperty(Env::CellularAccountPath, ValidityPeriod).toUInt(), 3600u);
}

void TestAccountUtils::followsParameterChangesMadeElsewhere()
{
    // Another client's proxy for the same account.
    Tp::AccountPtr other = m_env->account(Env::MmsAccountPath);
    QVERIFY(other);
    QTRY_VERIFY(m_utils->account(Env::MmsAccountPath));
    bool insideTelepathySignal = false;
    QSignalSpy changed(m_utils, &AccountUtils::accountPropertiesChanged);
    connect(m_utils->account(Env::MmsAccountPath).data(), &Tp::Account::parametersChanged, this,
            [&] { insideTelepathySignal = changed.count() > 0; });
    QVERIFY(expectSuccessfulCall(other->updateParameters({ { QStringLiteral("account"), QStringLiteral("+358409999999") } }, {})));
    QVERIFY(waitFor(changed));
    QVERIFY(!insideTelepathySignal); // delivered from the event loop, after Telepathy's signal
    QCOMPARE(changed.last().at(0).toString(), Env::MmsAccountPath);
    QCOMPARE(changed.last().at(1).toMap().value(QStringLiteral("account")).toString(), QStringLiteral("+358409999999"));
}

Tp::AccountPtr TestAccountUtils::createLoopbackAccount(const QString &id)
{
    Tp::PendingAccount *pending = m_env->accountManager()->createAccount(
        QStringLiteral("loopback"), QStringLiteral("loop"), id, { { QStringLiteral("account"), id } });
    Tp::AccountPtr created;
    connect(pending, &Tp::PendingOperation::finished, this, [&, pending] {
        if (!pending->isError())
            created = pending->account();
    });
    if (!QTest::qWaitFor([&] { return !created.isNull(); }, 10000))
        qWarning() << "Mission Control did not create the account" << id;
    return created;
}

void TestAccountUtils::invalidAccountLeavesSilentlyAndComesBack()
{
    QSignalSpy ready(m_utils, &AccountUtils::accountReady);
    QSignalSpy removed(m_utils, &AccountUtils::accountRemoved);
    const Tp::AccountPtr account = createLoopbackAccount(QStringLiteral("carol@loop.test"));
    QVERIFY(account);
    const QString path = account->objectPath();
    QTRY_VERIFY(m_utils->account(path));
    QVERIFY(ready.contains(QVariantList { path }));

    // "account" is required: without it the account is invalid.
    QVERIFY(expectSuccessfulCall(account->updateParameters({}, { QStringLiteral("account") })));
    QTRY_VERIFY(!m_utils->account(path));
    QCOMPARE(removed.count(), 0);

    ready.clear();
    QVERIFY(expectSuccessfulCall(account->updateParameters({ { QStringLiteral("account"), QStringLiteral("carol@loop.test") } }, {})));
    QTRY_VERIFY(m_utils->account(path));
    QTRY_VERIFY(ready.contains(QVariantList { path }));
}

void TestAccountUtils::removedAccountLeavesWithASignal()
{
    const Tp::AccountPtr account = createLoopbackAccount(QStringLiteral("dave@loop.test"));
    QVERIFY(account);
    const QString path = account->objectPath();
    QTRY_VERIFY(m_utils->account(path));
    QSignalSpy removed(m_utils, &AccountUtils::accountRemoved);
    QVERIFY(expectSuccessfulCall(account->remove()));
    QVERIFY(waitFor(removed));
    QCOMPARE(removed.first().first().toString(), path);
    QVERIFY(!m_utils->account(path));
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    TestAccountUtils test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_accountutils.moc"
