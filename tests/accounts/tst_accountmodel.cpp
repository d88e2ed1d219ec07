// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// AccountModel, AccountSortModel and TpAccount against Mission Control's
// accounts of the Telepathy fixture (tests/lib/README.md) and an account
// store of the test's own that links the fixture's alice0 to the service
// "loopchat" (display name "Loop Chat").
//
// Both the model and a sorting proxy on it are watched by
// QAbstractItemModelTester for the whole run.

#include "accountmodel.h"
#include "accountservicemapper.h"
#include "accountsortmodel.h"
#include "accountstorefixture.h"
#include "individualstatusmessagestore.h"
#include "telepathytestenvironment.h"
#include "testhelpers.h"
#include "tpaccount.h"

#include <TelepathyQt/PendingAccount>
#include <TelepathyQt/PendingStringList>

#include <QAbstractItemModelTester>
#include <QtTest>

namespace {
// The fixture's accounts (TelepathyTestEnvironment's paths, spelled out: static
// strings of another file may not be initialised yet here).
const QString Alice = QStringLiteral("/org/freedesktop/Telepathy/Account/loopback/loop/alice0");
const QString Bob = QStringLiteral("/org/freedesktop/Telepathy/Account/loopback/loop/bob0");
const QString Cellular = QStringLiteral("/org/freedesktop/Telepathy/Account/tala/tel/tala");
const QString Mms = QStringLiteral("/org/freedesktop/Telepathy/Account/vexo/mms/mms0");
const QString SmsServiceName = QStringLiteral("lxr_msg_filtering_dialog_sms_and_mms");

struct Change
{
    int row;
    int column;
    bool operator==(const Change &other) const { return row == other.row && column == other.column; }
};
} // namespace

class AccountModelTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();

    // What the model lists
    void listsSmsEntryFirstAndEveryOtherValidAccount();
    void answersTheDisplayRoleOnlyAndOnlyInRange();
    void takesServiceNamesIconsAndIdsFromTheAccountStore();
    void showsThePresenceOfAnAccountOnlineAtStart();
    void sortsSmsFirstThenByServiceAndAccountName();

    // Names
    void accountNameFallsBackToNicknameThenNormalisedName();

    // Presence
    void presenceChangeIsInProgressUntilTheAccountReportsIt();
    void presenceStateMachineWhileTheAccountCannotFollow();
    void presenceTextsTheModelDoesNotKnowAreNotRequested();
    void refusedPresenceRequestEndsTheChange();

    // Status messages
    void statusMessageTravelsWithThePresenceAndIsKept();
    void statusMessageTheAccountAlreadyCarriesChangesNothing();
    void statusMessageWithoutPresenceKeepsTheRequestedPresence();
    void statusMessageChangedByAnotherClientReachesTheModel();
    void statusMessageWhilePresenceIsInErrorKeepsTheRequestedPresence();

    // Enabled state, validity and lifetime
    void enablesAndDisablesThroughTheModel();
    void invalidAccountLosesItsRowAndComesBackLast();
    void removingAnAccountRemovesExactlyItsRow();
    void cellularMmsAndKnownAccountsGetNoExtraRow();

    void cleanupTestCase();

private:
    int rowOf(const QString &path) const;
    QVariant cell(const QString &path, int column) const;
    TpAccount *accountObject(const QString &path) const;
    Tp::AccountPtr createAccount(const QString &id, bool enabled = false);
    bool removeTpAccount(const Tp::AccountPtr &account);

    AccountStoreFixture m_store;
    Accounts::AccountId m_aliceSsoId = 0;
    TelepathyTestEnvironment m_env;
    AccountModel *m_model = nullptr;
    AccountSortModel *m_sorted = nullptr;
    QList<Change> m_changes;
    int m_layoutChanges = 0;
};

int AccountModelTest::rowOf(const QString &path) const
{
    for (int row = 0; row < m_model->rowCount(); ++row) {
        if (m_model->data(m_model->index(row, AccountModel::CT_OBJECT_PATH)).toString() == path)
            return row;
    }
    return -1;
}

QVariant AccountModelTest::cell(const QString &path, int column) const
{
    return m_model->data(m_model->index(rowOf(path), column));
}

TpAccount *AccountModelTest::accountObject(const QString &path) const
{
    // The rows' account objects are the model's children.
    const QList<TpAccount *> accounts = m_model->findChildren<TpAccount *>();
    for (TpAccount *account : accounts) {
        if (account->objectPath() == path)
            return account;
    }
    return nullptr;
}

Tp::AccountPtr AccountModelTest::createAccount(const QString &id, bool enabled)
{
    Tp::AccountPtr created;
    bool finished = false;
    QVariantMap properties;
    properties.insert(QStringLiteral("org.freedesktop.Telepathy.Account.Enabled"), enabled);
    Tp::PendingAccount *pending = m_env.accountManager()->createAccount(
        QStringLiteral("loopback"), QStringLiteral("loop"), id, {{QStringLiteral("account"), id}}, properties);
    connect(pending, &Tp::PendingOperation::finished, this, [&](Tp::PendingOperation *op) {
        finished = true;
        if (!op->isError())
            created = static_cast<Tp::PendingAccount *>(op)->account();
        else
            qWarning() << "account not created:" << op->errorName() << op->errorMessage();
    });
    waitUntil([&] { return finished; }, 10000);
    return created;
}

bool AccountModelTest::removeTpAccount(const Tp::AccountPtr &account)
{
    return account && expectSuccessfulCall(account->remove());
}

void AccountModelTest::initTestCase()
{
    // The store first: the mapper reads it when the model is created.
    QVERIFY(m_store.setUp());
    m_aliceSsoId = m_store.createAccount(QStringLiteral("loopnet"), {
        {QStringLiteral("loopchat"), {{QStringLiteral("tmc-uid"), QStringLiteral("loopback/loop/alice0")}}}});
    QVERIFY(m_aliceSsoId);

    QVERIFY(m_env.init());
    QVERIFY(m_env.connectedAccount(Alice));

    m_model = AccountModel::instance();
    new QAbstractItemModelTester(m_model, QAbstractItemModelTester::FailureReportingMode::QtTest, m_model);
    m_sorted = new AccountSortModel(m_model);
    m_sorted->setSourceModel(m_model);
    m_sorted->setDynamicSortFilter(true);
    m_sorted->sort(AccountModel::CT_SORTING_STRING);
    new QAbstractItemModelTester(m_sorted, QAbstractItemModelTester::FailureReportingMode::QtTest, m_sorted);

    connect(m_model, &QAbstractItemModel::dataChanged, this, [this](const QModelIndex &from, const QModelIndex &to) {
        QCOMPARE(from, to);
        m_changes.append({from.row(), from.column()});
    });
    connect(m_model, &QAbstractItemModel::layoutChanged, this, [this] { ++m_layoutChanges; });

    m_model->init();
    m_model->init(); // once only
    QTRY_COMPARE(m_model->rowCount(), 3);
}

void AccountModelTest::init()
{
    m_changes.clear();
    m_layoutChanges = 0;
}

void AccountModelTest::listsSmsEntryFirstAndEveryOtherValidAccount()
{
    QCOMPARE(m_model->columnCount(), 15);
    QCOMPARE(m_model->qt_metacast("SingletonBase<AccountModel>"),
             static_cast<void *>(static_cast<SingletonBase<AccountModel> *>(m_model)));
    QCOMPARE(AccountModel::m_pInstance, m_model);
    QCOMPARE(rowOf(Cellular), 0);
    QVERIFY(rowOf(Alice) > 0);
    QVERIFY(rowOf(Bob) > 0);
    QCOMPARE(rowOf(Mms), -1);

    const QModelIndex sms = m_model->index(0, 0);
    auto smsCell = [&](int column) { return m_model->data(sms.siblingAtColumn(column)); };
    QCOMPARE(smsCell(AccountModel::CT_ACCOUNT_NAME), QVariant(QString()));
    QCOMPARE(smsCell(AccountModel::CT_SORTING_STRING), QVariant(QStringLiteral("0")));
    QCOMPARE(smsCell(AccountModel::CT_SERVICE_NAME), QVariant(SmsServiceName));
    QCOMPARE(smsCell(AccountModel::CT_SERVICE_ICON_NORMAL), QVariant(QStringLiteral("icon-s-sms")));
    QCOMPARE(smsCell(AccountModel::CT_SERVICE_ICON_MEDIUM), QVariant(QStringLiteral("icon-m-content-sms-inverse")));
    QCOMPARE(smsCell(AccountModel::CT_ENABLED), QVariant(true));
    const QVariant status = smsCell(AccountModel::CT_CURRENT_STATUS);
    QVERIFY(status.toString().isEmpty() && !status.isNull());
    QCOMPARE(smsCell(AccountModel::CT_ACCOUNT_ID), QVariant(0));

    // Bob is disabled: the enabled-only count leaves him out, never the SMS entry.
    QCOMPARE(m_model->rowCount(false, QModelIndex()), 2);
    QCOMPARE(m_model->rowCount(true, QModelIndex()), 3);
    QCOMPARE(m_model->rowCount(false, m_model->index(0, 0)), 0);
}

void AccountModelTest::answersTheDisplayRoleOnlyAndOnlyInRange()
{
    const int alice = rowOf(Alice);
    QVERIFY(!m_model->data(m_model->index(alice, 0), Qt::EditRole).isValid());
    QVERIFY(!m_model->data(m_model->index(alice, 0), Qt::DecorationRole).isValid());
    QVERIFY(!m_model->data(m_model->index(alice, 15)).isValid());
    QVERIFY(!m_model->data(QModelIndex()).isValid());
    QVERIFY(!m_model->setData(m_model->index(3, AccountModel::CT_ENABLED), true));
    QVERIFY(!m_model->setData(m_model->index(alice, AccountModel::CT_ACCOUNT_NAME), QStringLiteral("x")));
    QVERIFY(!m_model->setData(QModelIndex(), true));

    QCOMPARE(m_model->headerData(0, Qt::Horizontal), QVariant(QStringLiteral("CT_ACCOUNT_NAME")));
    QCOMPARE(m_model->headerData(13, Qt::Horizontal, 0), QVariant(QStringLiteral("CT_SORTING_STRING")));
    QCOMPARE(m_model->headerData(14, Qt::Horizontal), QVariant(QStringLiteral("CT_ACCOUNT_ID")));
    QCOMPARE(m_model->headerData(15, Qt::Horizontal), QVariant(15));
    QCOMPARE(m_model->headerData(2, Qt::Vertical), QVariant(2));
    QVERIFY(!m_model->headerData(0, Qt::Horizontal, Qt::ToolTipRole).isValid());

    for (int column = 0; column < 15; ++column) {
        const bool writable = column >= AccountModel::CT_STATUS_UPDATE && column <= AccountModel::CT_CURRENT_STATUS;
        QCOMPARE(int(m_model->flags(m_model->index(alice, column))), writable ? 50 : 0);
    }
    QCOMPARE(int(m_model->flags(QModelIndex())), 0);
}

void AccountModelTest::takesServiceNamesIconsAndIdsFromTheAccountStore()
{
    QCOMPARE(cell(Alice, AccountModel::CT_SERVICE_NAME), QVariant(QStringLiteral("Loop Chat")));
    QCOMPARE(cell(Alice, AccountModel::CT_SERVICE_ICON_NORMAL), QVariant(QStringLiteral("icon-loopchat")));
    QCOMPARE(cell(Alice, AccountModel::CT_ACCOUNT_ID), QVariant(int(m_aliceSsoId)));
    QCOMPARE(cell(Alice, AccountModel::CT_SORTING_STRING), QVariant(QStringLiteral("1loop chatalice")));
    QCOMPARE(cell(Alice, AccountModel::CT_ERROR_MESSAGE), QVariant(QStringLiteral("I'm a possible ErrorMessage")));
    QCOMPARE(cell(Alice, AccountModel::CT_STATUS_CHANGE_ERROR), QVariant(false));
    // Bob has no link: no service, id -1.
    QVERIFY(cell(Bob, AccountModel::CT_SERVICE_NAME).toString().isNull());
    QCOMPARE(cell(Bob, AccountModel::CT_ACCOUNT_ID), QVariant(-1));
    QCOMPARE(cell(Bob, AccountModel::CT_SORTING_STRING), QVariant(QStringLiteral("1bob")));

    // Paths that contain a row's path answer for it; the cellular path is
    // the SMS entry's.
    QCOMPARE(m_model->serviceNameForObjectPath(Alice + QStringLiteral("/extra")), QStringLiteral("Loop Chat"));
    QCOMPARE(m_model->serviceIconIdForObjectPath(Alice, SERVICE_ICON_MEDIUM), QStringLiteral("icon-loopchat"));
    QCOMPARE(m_model->serviceNameForObjectPath(Cellular), SmsServiceName);
    QVERIFY(m_model->serviceNameForObjectPath(QStringLiteral("/nowhere")).isNull());

    // Availabilities are empty until the user interface asks for them.
    QVERIFY(cell(Alice, AccountModel::CT_AVAILABILITIES).toString().isNull());
    TpAccount *alice = accountObject(Alice);
    QVERIFY(alice);
    alice->initAvailabilitiesList(QDomDocument());
    alice->initAvailabilitiesList(QDomDocument());
    QCOMPARE(alice->availabilities().size(), 3);
    QCOMPARE(cell(Alice, AccountModel::CT_AVAILABILITIES),
             QVariant(QStringLiteral(" - offline - available - away")));
}

void AccountModelTest::showsThePresenceOfAnAccountOnlineAtStart()
{
    // Alice was connected before the model started and has not changed since.
    QCOMPARE(cell(Alice, AccountModel::CT_CURRENT_STATUS), QVariant(QStringLiteral("available")));
    QCOMPARE(accountObject(Alice)->currentStatus()->type, int(Tp::ConnectionPresenceTypeAvailable));
    QCOMPARE(cell(Alice, AccountModel::CT_STATUS_CHANGE_IN_PROGRESS), QVariant(false));
}

void AccountModelTest::sortsSmsFirstThenByServiceAndAccountName()
{
    QCOMPARE(m_sorted->rowCount(), m_model->rowCount());
    auto sortedPath = [this](int row) {
        return m_sorted->data(m_sorted->index(row, AccountModel::CT_OBJECT_PATH)).toString();
    };
    // "0" < "1bob" < "1loop chatalice"
    QCOMPARE(sortedPath(0), Cellular);
    QCOMPARE(sortedPath(1), Bob);
    QCOMPARE(sortedPath(2), Alice);
}

void AccountModelTest::accountNameFallsBackToNicknameThenNormalisedName()
{
    const Tp::AccountPtr alice = m_env.account(Alice);
    const int row = rowOf(Alice);
    // Mission Control may have taken the connection's own alias as the
    // nickname once Alice came online: the test's nickname is set first.
    QVERIFY(expectSuccessfulCall(alice->setNickname(QStringLiteral("Alice"))));
    QTRY_COMPARE_WITH_TIMEOUT(alice->nickname(), QStringLiteral("Alice"), 15000);
    QVERIFY(expectSuccessfulCall(alice->setDisplayName(QString())));
    QTRY_COMPARE_WITH_TIMEOUT(cell(Alice, AccountModel::CT_ACCOUNT_NAME), QVariant(QStringLiteral("Alice")), 15000);
    QVERIFY(expectSuccessfulCall(alice->setNickname(QString())));
    QTRY_COMPARE_WITH_TIMEOUT(cell(Alice, AccountModel::CT_ACCOUNT_NAME), QVariant(QStringLiteral("alice@loop.test")), 15000);
    QTRY_VERIFY(m_changes.contains(Change{row, AccountModel::CT_ACCOUNT_NAME}));
    QVERIFY(m_layoutChanges > 0);

    QVERIFY(expectSuccessfulCall(alice->setNickname(QStringLiteral("Alice"))));
    QVERIFY(expectSuccessfulCall(alice->setDisplayName(QStringLiteral("Alice"))));
    QTRY_COMPARE_WITH_TIMEOUT(cell(Alice, AccountModel::CT_ACCOUNT_NAME), QVariant(QStringLiteral("Alice")), 15000);
    // The proxy re-sorted on the layout change and kept its order.
    QCOMPARE(m_sorted->data(m_sorted->index(2, AccountModel::CT_OBJECT_PATH)).toString(), Alice);
}

void AccountModelTest::presenceChangeIsInProgressUntilTheAccountReportsIt()
{
    TpAccount *alice = accountObject(Alice);
    QSignalSpy progress(alice, &AbstractAccount::statusProgressChanged);
    const int row = rowOf(Alice);

    // Idle, same type as now: nothing happens.
    QVERIFY(m_model->setData(m_model->index(row, AccountModel::CT_CURRENT_STATUS), QStringLiteral("available")));
    QVERIFY(!alice->statusChangeInProgress());
    QCOMPARE(progress.count(), 0);

    // Idle, another type: requested, in progress until the account reports it.
    QVERIFY(m_model->setData(m_model->index(row, AccountModel::CT_CURRENT_STATUS), QStringLiteral("away")));
    QCOMPARE(cell(Alice, AccountModel::CT_STATUS_CHANGE_IN_PROGRESS), QVariant(true));
    QCOMPARE(progress.count(), 1);
    QVERIFY(m_changes.contains(Change{row, AccountModel::CT_STATUS_CHANGE_IN_PROGRESS}));
    QTRY_COMPARE(cell(Alice, AccountModel::CT_CURRENT_STATUS), QVariant(QStringLiteral("away")));
    QCOMPARE(cell(Alice, AccountModel::CT_STATUS_CHANGE_IN_PROGRESS), QVariant(false));
    QVERIFY(m_changes.contains(Change{row, AccountModel::CT_CURRENT_STATUS}));
    QCOMPARE(m_env.account(Alice)->currentPresence().type(), Tp::ConnectionPresenceTypeAway);

    // The same presence arriving again changes nothing.
    progress.clear();
    alice->newMessageThroughPresence(m_env.account(Alice)->currentPresence());
    QCOMPARE(progress.count(), 0);

    // Back, through a text that merely contains the status.
    QVERIFY(m_model->setData(m_model->index(row, AccountModel::CT_CURRENT_STATUS), QStringLiteral("not available")));
    QTRY_COMPARE(cell(Alice, AccountModel::CT_CURRENT_STATUS), QVariant(QStringLiteral("available")));
    QVERIFY(!alice->statusChangeInProgress());
}

void AccountModelTest::presenceStateMachineWhileTheAccountCannotFollow()
{
    // Bob is disabled: Mission Control keeps what is requested, but his
    // current presence stays, so a change stays in progress.
    const Tp::AccountPtr bob = m_env.account(Bob);
    TpAccount *account = accountObject(Bob);
    QVERIFY(account);
    const int current = bob->currentPresence().type();
    QVERIFY2(current != Tp::ConnectionPresenceTypeAway && current != Tp::ConnectionPresenceTypeAvailable,
             qPrintable(bob->currentPresence().status()));
    QSignalSpy progress(account, &AbstractAccount::statusProgressChanged);
    AvailabilityItem away(Tp::ConnectionPresenceTypeAway, QStringLiteral("away"));
    AvailabilityItem available(Tp::ConnectionPresenceTypeAvailable, QStringLiteral("available"));

    // idle -> in progress
    account->setCurrentStatus(&away);
    QVERIFY(account->statusChangeInProgress());
    QCOMPARE(progress.count(), 1);
    QTRY_COMPARE(bob->requestedPresence().type(), Tp::ConnectionPresenceTypeAway);

    // in progress, the requested type: nothing
    account->setCurrentStatus(&away);
    QCOMPARE(progress.count(), 1);

    // in progress, neither requested nor current: requested, still in progress
    account->setCurrentStatus(&available);
    QTRY_COMPARE(bob->requestedPresence().type(), Tp::ConnectionPresenceTypeAvailable);
    QVERIFY(account->statusChangeInProgress());
    QCOMPARE(progress.count(), 1);

    // the current presence arriving again leaves the change in progress
    account->newMessageThroughPresence(bob->currentPresence());
    QVERIFY(account->statusChangeInProgress());

    // in progress, back to the current type: requested, idle
    if (current == Tp::ConnectionPresenceTypeOffline) {
        AvailabilityItem offline(Tp::ConnectionPresenceTypeOffline, QStringLiteral("offline"));
        account->setCurrentStatus(&offline);
        QVERIFY(!account->statusChangeInProgress());
        QCOMPARE(progress.count(), 2);
        QTRY_COMPARE(bob->requestedPresence().type(), Tp::ConnectionPresenceTypeOffline);
    } else {
        // Unset, unknown or error: no way back by request; a presence report
        // ends the change.
        account->newMessageThroughPresence(Tp::Presence::offline());
        QVERIFY(!account->statusChangeInProgress());
        QCOMPARE(progress.count(), 2);
    }
}

void AccountModelTest::presenceTextsTheModelDoesNotKnowAreNotRequested()
{
    TpAccount *alice = accountObject(Alice);
    const int row = rowOf(Alice);
    QSignalSpy progress(alice, &AbstractAccount::statusProgressChanged);
    const Tp::Presence requested = m_env.account(Alice)->requestedPresence();
    for (const QString &text : {QStringLiteral("Busy"), QStringLiteral("AWAY"), QString()}) {
        QVERIFY(m_model->setData(m_model->index(row, AccountModel::CT_CURRENT_STATUS), text));
        QVERIFY(!alice->statusChangeInProgress());
    }
    AvailabilityItem unknown(Tp::ConnectionPresenceTypeUnknown, QStringLiteral("unknown"));
    AvailabilityItem error(Tp::ConnectionPresenceTypeError, QStringLiteral("error"));
    alice->setCurrentStatus(&unknown);
    alice->setCurrentStatus(&error);
    alice->setCurrentStatus(nullptr);
    QTest::qWait(100);
    QCOMPARE(progress.count(), 0);
    QCOMPARE(m_env.account(Alice)->requestedPresence().type(), requested.type());
    QCOMPARE(cell(Alice, AccountModel::CT_CURRENT_STATUS), QVariant(QStringLiteral("available")));
}

void AccountModelTest::refusedPresenceRequestEndsTheChange()
{
    // An account object whose Telepathy account is gone: Mission Control
    // refuses every request for it.
    const Tp::AccountPtr gone = createAccount(QStringLiteral("gone@loop.test"), true);
    QVERIFY(gone);
    TpAccount account(gone, nullptr);
    QVERIFY(removeTpAccount(gone));
    QSignalSpy progress(&account, &AbstractAccount::statusProgressChanged);

    AvailabilityItem away(Tp::ConnectionPresenceTypeAway, QStringLiteral("away"));
    account.setCurrentStatus(&away);
    QVERIFY(account.statusChangeInProgress());
    QTRY_VERIFY(!account.statusChangeInProgress());
    QCOMPARE(progress.count(), 2);
}

void AccountModelTest::statusMessageTravelsWithThePresenceAndIsKept()
{
    const Tp::AccountPtr alice = m_env.account(Alice);
    const int row = rowOf(Alice);
    QVERIFY(m_model->setData(m_model->index(row, AccountModel::CT_STATUS_MESSAGE), QStringLiteral("Busy day")));
    QCOMPARE(IndividualStatusMessageStore::instance()->statusMessage(alice->uniqueIdentifier()),
             QStringLiteral("Busy day"));
    QTRY_COMPARE(alice->currentPresence().statusMessage(), QStringLiteral("Busy day"));
    QCOMPARE(alice->currentPresence().type(), Tp::ConnectionPresenceTypeAvailable);
    QTRY_VERIFY(m_changes.contains(Change{row, AccountModel::CT_STATUS_MESSAGE}));
    QCOMPARE(cell(Alice, AccountModel::CT_STATUS_MESSAGE), QVariant(QStringLiteral("Busy day")));
    QCOMPARE(m_layoutChanges, 0);

    // A presence change carries the kept message along.
    QVERIFY(m_model->setData(m_model->index(row, AccountModel::CT_CURRENT_STATUS), QStringLiteral("away")));
    QTRY_COMPARE(alice->currentPresence().type(), Tp::ConnectionPresenceTypeAway);
    QCOMPARE(alice->currentPresence().statusMessage(), QStringLiteral("Busy day"));
    QVERIFY(m_model->setData(m_model->index(row, AccountModel::CT_CURRENT_STATUS), QStringLiteral("available")));
    QTRY_COMPARE(alice->currentPresence().type(), Tp::ConnectionPresenceTypeAvailable);
}

void AccountModelTest::statusMessageTheAccountAlreadyCarriesChangesNothing()
{
    const Tp::AccountPtr alice = m_env.account(Alice);
    QTRY_COMPARE(alice->currentPresence().statusMessage(), QStringLiteral("Busy day"));
    IndividualStatusMessageStore::instance()->setStatusMessage(alice->uniqueIdentifier(), QStringLiteral("kept"));
    accountObject(Alice)->setStatusMessage(QStringLiteral("Busy day"));
    QCOMPARE(IndividualStatusMessageStore::instance()->statusMessage(alice->uniqueIdentifier()),
             QStringLiteral("kept"));
    IndividualStatusMessageStore::instance()->setStatusMessage(alice->uniqueIdentifier(), QStringLiteral("Busy day"));
}

void AccountModelTest::statusMessageWithoutPresenceKeepsTheRequestedPresence()
{
    // Bob is disabled: his current presence carries no message, so the kept
    // one is shown; setting one keeps his requested type and status.
    const Tp::AccountPtr bob = m_env.account(Bob);
    TpAccount *account = accountObject(Bob);
    IndividualStatusMessageStore::instance()->setStatusMessage(bob->uniqueIdentifier(), QStringLiteral("stored"));
    QCOMPARE(cell(Bob, AccountModel::CT_STATUS_MESSAGE), QVariant(QStringLiteral("stored")));

    AvailabilityItem away(Tp::ConnectionPresenceTypeAway, QStringLiteral("away"));
    account->setCurrentStatus(&away);
    QTRY_COMPARE(bob->requestedPresence().type(), Tp::ConnectionPresenceTypeAway);
    const int current = bob->currentPresence().type();
    account->setStatusMessage(QStringLiteral("on holiday"));
    QCOMPARE(IndividualStatusMessageStore::instance()->statusMessage(bob->uniqueIdentifier()),
             QStringLiteral("on holiday"));
    if (current == Tp::ConnectionPresenceTypeUnset || current == Tp::ConnectionPresenceTypeError) {
        QTRY_COMPARE(bob->requestedPresence().statusMessage(), QStringLiteral("on holiday"));
        QCOMPARE(bob->requestedPresence().type(), Tp::ConnectionPresenceTypeAway);
        QCOMPARE(bob->requestedPresence().status(), QStringLiteral("away"));
    } else {
        // His current presence is the base then.
        QTRY_COMPARE(bob->requestedPresence().statusMessage(), QStringLiteral("on holiday"));
        QCOMPARE(int(bob->requestedPresence().type()), current);
    }
    QCOMPARE(cell(Bob, AccountModel::CT_STATUS_MESSAGE), QVariant(QStringLiteral("on holiday")));
}

void AccountModelTest::statusMessageChangedByAnotherClientReachesTheModel()
{
    const Tp::AccountPtr alice = m_env.account(Alice);
    const int row = rowOf(Alice);
    Tp::Presence presence = alice->currentPresence();
    presence.setStatus(presence.type(), presence.status(), QStringLiteral("set elsewhere"));
    QVERIFY(expectSuccessfulCall(alice->setRequestedPresence(presence)));
    QTRY_COMPARE(cell(Alice, AccountModel::CT_STATUS_MESSAGE), QVariant(QStringLiteral("set elsewhere")));
    QTRY_VERIFY(m_changes.contains(Change{row, AccountModel::CT_STATUS_MESSAGE}));
}

void AccountModelTest::statusMessageWhilePresenceIsInErrorKeepsTheRequestedPresence()
{
    // The connection reports an error presence (type 8): a new message goes
    // with the presence the user asked for, not with the error.
    const Tp::AccountPtr alice = m_env.connectedAccount(Alice);
    TpAccount *account = accountObject(Alice);
    QTRY_COMPARE(alice->requestedPresence().type(), Tp::ConnectionPresenceTypeAvailable);
    QCOMPARE(m_env.control(Alice).setSelfPresence(alice->connection()->objectPath(), QStringLiteral("error")), 1u);
    QTRY_COMPARE(alice->currentPresence().type(), Tp::ConnectionPresenceTypeError);
    QTRY_COMPARE(cell(Alice, AccountModel::CT_CURRENT_STATUS), QVariant(QStringLiteral("error")));

    account->setStatusMessage(QStringLiteral("back soon"));
    QTRY_COMPARE(alice->requestedPresence().statusMessage(), QStringLiteral("back soon"));
    QCOMPARE(alice->requestedPresence().type(), Tp::ConnectionPresenceTypeAvailable);
    QCOMPARE(alice->requestedPresence().status(), QStringLiteral("available"));
    QTRY_COMPARE(alice->currentPresence().type(), Tp::ConnectionPresenceTypeAvailable);
    QCOMPARE(alice->currentPresence().statusMessage(), QStringLiteral("back soon"));
    QTRY_COMPARE(cell(Alice, AccountModel::CT_CURRENT_STATUS), QVariant(QStringLiteral("available")));
}

void AccountModelTest::enablesAndDisablesThroughTheModel()
{
    const int row = rowOf(Bob);
    QVERIFY(m_model->setData(m_model->index(row, AccountModel::CT_ENABLED), true));
    QTRY_COMPARE(cell(Bob, AccountModel::CT_ENABLED), QVariant(true));
    QTRY_VERIFY(m_changes.contains(Change{row, AccountModel::CT_ENABLED}));
    QCOMPARE(m_model->rowCount(false, QModelIndex()), 3);
    // Bob connects by himself: connected before he is disabled, so that no
    // connection is still being built when the process ends.
    QVERIFY(m_env.connectedAccount(Bob));

    m_changes.clear();
    QVERIFY(m_model->setData(m_model->index(row, AccountModel::CT_ENABLED), false));
    QTRY_COMPARE(cell(Bob, AccountModel::CT_ENABLED), QVariant(false));
    QVERIFY(m_changes.contains(Change{row, AccountModel::CT_ENABLED}));
    QCOMPARE(m_model->rowCount(false, QModelIndex()), 2);
    QTRY_VERIFY(m_env.account(Bob)->connection().isNull());

    // The flag the user interface keeps: stored and announced once per change.
    QVERIFY(m_model->setData(m_model->index(row, AccountModel::CT_STATUS_UPDATE), true));
    QVERIFY(m_model->setData(m_model->index(row, AccountModel::CT_STATUS_UPDATE), true));
    QCOMPARE(cell(Bob, AccountModel::CT_STATUS_UPDATE), QVariant(true));
    QCOMPARE(m_changes.count(Change{row, AccountModel::CT_STATUS_UPDATE}), 1);
}

void AccountModelTest::invalidAccountLosesItsRowAndComesBackLast()
{
    const Tp::AccountPtr carol = createAccount(QStringLiteral("carol@loop.test"));
    QVERIFY(carol);
    QTRY_VERIFY(rowOf(carol->objectPath()) > 0);
    const int rows = m_model->rowCount();

    // Without its required parameter the account is invalid.
    QVERIFY(expectSuccessfulCall(carol->updateParameters({}, {QStringLiteral("account")})));
    QTRY_COMPARE(rowOf(carol->objectPath()), -1);
    QCOMPARE(m_model->rowCount(), rows - 1);

    QVERIFY(expectSuccessfulCall(
        carol->updateParameters({{QStringLiteral("account"), QStringLiteral("carol@loop.test")}}, {})));
    QTRY_COMPARE(rowOf(carol->objectPath()), m_model->rowCount() - 1);
    QCOMPARE(m_model->rowCount(), rows);

    QVERIFY(removeTpAccount(carol));
    QTRY_COMPARE(rowOf(carol->objectPath()), -1);
}

void AccountModelTest::removingAnAccountRemovesExactlyItsRow()
{
    // Paths ".../ali00" and then ".../ali0": the second is inside the first.
    const Tp::AccountPtr longer = createAccount(QStringLiteral("ali0"));
    const Tp::AccountPtr shorter = createAccount(QStringLiteral("ali"));
    QVERIFY(longer && shorter);
    QVERIFY2(longer->objectPath().contains(shorter->objectPath()), qPrintable(longer->objectPath()));
    QTRY_VERIFY(rowOf(longer->objectPath()) > 0 && rowOf(shorter->objectPath()) > 0);
    QVERIFY(rowOf(longer->objectPath()) < rowOf(shorter->objectPath()));

    QVERIFY(removeTpAccount(shorter));
    QTRY_COMPARE(rowOf(shorter->objectPath()), -1);
    QVERIFY(rowOf(longer->objectPath()) > 0);

    // A path that is only part of a row's path removes nothing.
    const int rows = m_model->rowCount();
    m_model->removeAccount(shorter->objectPath());
    m_model->removeAccount(QStringLiteral("/org/freedesktop/Telepathy/Account/loopback"));
    QCOMPARE(m_model->rowCount(), rows);

    QVERIFY(removeTpAccount(longer));
    QTRY_COMPARE(rowOf(longer->objectPath()), -1);
}

void AccountModelTest::cellularMmsAndKnownAccountsGetNoExtraRow()
{
    const int rows = m_model->rowCount();
    m_model->addTpAccount(m_env.account(Cellular));
    m_model->addTpAccount(m_env.account(Mms));
    m_model->addTpAccount(m_env.account(Alice));
    m_model->handleAccountCreated(m_env.account(Bob));
    m_model->addTpAccount(Tp::AccountPtr());
    QTest::qWait(100);
    QCOMPARE(m_model->rowCount(), rows);
    QCOMPARE(m_model->findChildren<TpAccount *>().size(), rows - 1);
}

void AccountModelTest::cleanupTestCase()
{
    // Row objects go with the model.
    QPointer<TpAccount> alice = accountObject(Alice);
    delete m_model;
    QVERIFY(alice.isNull());
    QVERIFY(!AccountModel::m_pInstance);
}

QTEST_GUILESS_MAIN(AccountModelTest)
#include "tst_accountmodel.moc"
