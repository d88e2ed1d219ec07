// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// AccountServiceMapper against a single-sign-on account store of the test's
// own (AccountStoreFixture), inside a private bus.

#include "accountservicemapper.h"
#include "accountstorefixture.h"
#include "localeservice.h"
#include "platformservices.h"

#include <QtTest>

namespace {
const QString Prefix = QStringLiteral("/org/freedesktop/Telepathy/Account/");
constexpr Accounts::AccountId NoAccount = 0xFFFFFFFFu;

// Remembers which catalogues the mapper installs.
class RecordingLocaleService : public LocaleService
{
public:
    bool installTrCatalog(const QString &catalogue) override
    {
        installed << catalogue;
        return true;
    }
    QStringList installed;
};
} // namespace

class AccountServiceMapperTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void linksImServicesByUidWithNameAndIconFallbacks();
    void matchesUidAnywhereWithinThePath();
    void keepsOneItemPerUidWithTheValuesReadLast();
    void installsProviderCatalogueElseServiceCatalogue();
    void answersFollowChangesInTheStoreAfterALookup();
    void seesAccountsCreatedAfterStart();

private:
    AccountStoreFixture m_store;
    RecordingLocaleService m_locale;
};

void AccountServiceMapperTest::initTestCase()
{
    QVERIFY(m_store.setUp());
    PlatformServices::setLocaleService(&m_locale);
}

void AccountServiceMapperTest::linksImServicesByUidWithNameAndIconFallbacks()
{
    const Accounts::AccountId full = m_store.createAccount(QStringLiteral("loopnet"), {
        {QStringLiteral("loopchat"), {{QStringLiteral("tmc-uid"), QStringLiteral("loopback/loop/full0")},
                                      {QStringLiteral("icons/icon-normal"), QStringLiteral("n-icon")},
                                      {QStringLiteral("icons/icon-m-normal"), QStringLiteral("m-icon")}}},
        // An empty uid links nothing.
        {QStringLiteral("loopvoice"), {{QStringLiteral("tmc-uid"), QString()}}}});
    const Accounts::AccountId bare = m_store.createAccount(QStringLiteral("plainnet"), {
        {QStringLiteral("plainchat"), {{QStringLiteral("tmc-uid"), QStringLiteral("plain/p/bare0")}}}});
    const Accounts::AccountId normalOnly = m_store.createAccount(QStringLiteral("loopnet"), {
        {QStringLiteral("loopchat"), {{QStringLiteral("tmc-uid"), QStringLiteral("loopback/loop/normal0")},
                                      {QStringLiteral("icons/icon-normal"), QStringLiteral("only-normal")}}},
        // No uid at all.
        {QStringLiteral("loopvoice"), {{QStringLiteral("icons/icon-normal"), QStringLiteral("x")}}}});
    // Not an instant-messaging service: never linked, whatever its settings.
    const Accounts::AccountId mail = m_store.createAccount(QStringLiteral("loopnet"), {
        {QStringLiteral("loopmail"), {{QStringLiteral("tmc-uid"), QStringLiteral("mail/m/mail0")}}}});
    QVERIFY(full && bare && normalOnly && mail);

    AccountServiceMapper mapper;
    const QString fullPath = Prefix + QStringLiteral("loopback/loop/full0");
    QCOMPARE(mapper.ssoAccountIDForTpAccount(fullPath), full);
    QCOMPARE(mapper.ssoServiceIDForTpAccount(fullPath), QStringLiteral("loopchat"));
    QCOMPARE(mapper.ssoServiceNameForTpAccount(fullPath), QStringLiteral("Loop Chat"));
    QCOMPARE(mapper.ssoServiceIconIdForTpAccount(fullPath, SERVICE_ICON_NORMAL), QStringLiteral("n-icon"));
    QCOMPARE(mapper.ssoServiceIconIdForTpAccount(fullPath, SERVICE_ICON_MEDIUM), QStringLiteral("m-icon"));
    QVERIFY(mapper.ssoServiceIconIdForTpAccount(fullPath, serviceIconType(0)).isNull());
    QVERIFY(mapper.ssoServiceIconIdForTpAccount(fullPath, serviceIconType(3)).isNull());

    // Without icon settings: the service's icon for both sizes.
    const QString barePath = Prefix + QStringLiteral("plain/p/bare0");
    QCOMPARE(mapper.ssoAccountIDForTpAccount(barePath), bare);
    QCOMPARE(mapper.ssoServiceNameForTpAccount(barePath), QStringLiteral("Plain Chat"));
    QCOMPARE(mapper.ssoServiceIconIdForTpAccount(barePath, SERVICE_ICON_NORMAL), QStringLiteral("icon-plainchat"));
    QCOMPARE(mapper.ssoServiceIconIdForTpAccount(barePath, SERVICE_ICON_MEDIUM), QStringLiteral("icon-plainchat"));

    const QString normalPath = Prefix + QStringLiteral("loopback/loop/normal0");
    QCOMPARE(mapper.ssoServiceIconIdForTpAccount(normalPath, SERVICE_ICON_MEDIUM), QStringLiteral("only-normal"));

    // Nothing linked: null answers and the all-bits id (-1 as an int).
    for (const QString &path : {Prefix + QStringLiteral("mail/m/mail0"), Prefix + QStringLiteral("nowhere/x/y0")}) {
        QCOMPARE(mapper.ssoAccountIDForTpAccount(path), NoAccount);
        QVERIFY(mapper.ssoServiceIDForTpAccount(path).isNull());
        QVERIFY(mapper.ssoServiceNameForTpAccount(path).isNull());
        QVERIFY(mapper.ssoServiceIconIdForTpAccount(path, SERVICE_ICON_NORMAL).isNull());
    }
    QCOMPARE(mapper.indexOfAccountItem(QString()), -1);
    QVERIFY(mapper.indexOfAccountItem(QStringLiteral("loopback/loop/full0")) >= 0);
}

void AccountServiceMapperTest::matchesUidAnywhereWithinThePath()
{
    QVERIFY(m_store.createAccount(QStringLiteral("loopnet"), {
        {QStringLiteral("loopchat"), {{QStringLiteral("tmc-uid"), QStringLiteral("sub/s/alice")}}}}));
    AccountServiceMapper mapper;
    // The uid need not be the whole path, nor its end; the match is
    // case-sensitive.
    QCOMPARE(mapper.ssoServiceIDForTpAccount(Prefix + QStringLiteral("sub/s/alice0")), QStringLiteral("loopchat"));
    QCOMPARE(mapper.ssoServiceIDForTpAccount(QStringLiteral("sub/s/alice")), QStringLiteral("loopchat"));
    QVERIFY(mapper.ssoServiceIDForTpAccount(Prefix + QStringLiteral("sub/s/Alice0")).isNull());
    QVERIFY(mapper.ssoServiceIDForTpAccount(Prefix + QStringLiteral("sub/s/ali")).isNull());
}

void AccountServiceMapperTest::keepsOneItemPerUidWithTheValuesReadLast()
{
    const QString uid = QStringLiteral("dup/d/dup0");
    const Accounts::AccountId first = m_store.createAccount(QStringLiteral("loopnet"), {
        {QStringLiteral("loopchat"), {{QStringLiteral("tmc-uid"), uid}}}});
    const Accounts::AccountId second = m_store.createAccount(QStringLiteral("plainnet"), {
        {QStringLiteral("plainchat"), {{QStringLiteral("tmc-uid"), uid}}}});
    QVERIFY(first && second && first < second);

    // One item, whichever account the store lists last.
    AccountServiceMapper mapper;
    const Accounts::AccountId atStart = mapper.ssoAccountIDForTpAccount(Prefix + uid);
    QVERIFY(atStart == first || atStart == second);
    const int index = mapper.indexOfAccountItem(uid);
    QVERIFY(index >= 0);

    // Reading an account again makes its values the last read, in place.
    mapper.enumerateSSOAccountServiceMapping(first);
    QCOMPARE(mapper.indexOfAccountItem(uid), index);
    QCOMPARE(mapper.ssoAccountIDForTpAccount(Prefix + uid), first);
    QCOMPARE(mapper.ssoServiceNameForTpAccount(Prefix + uid), QStringLiteral("Loop Chat"));
    mapper.enumerateSSOAccountServiceMapping(second);
    QCOMPARE(mapper.indexOfAccountItem(uid), index);
    QCOMPARE(mapper.ssoAccountIDForTpAccount(Prefix + uid), second);
    QCOMPARE(mapper.ssoServiceNameForTpAccount(Prefix + uid), QStringLiteral("Plain Chat"));
}

void AccountServiceMapperTest::installsProviderCatalogueElseServiceCatalogue()
{
    QVERIFY(m_store.createAccount(QStringLiteral("loopnet"), {
        {QStringLiteral("loopchat"), {{QStringLiteral("tmc-uid"), QStringLiteral("cat/c/loop0")}}}}));
    QVERIFY(m_store.createAccount(QStringLiteral("plainnet"), {
        {QStringLiteral("plainchat"), {{QStringLiteral("tmc-uid"), QStringLiteral("cat/c/plain0")}}}}));
    m_locale.installed.clear();
    AccountServiceMapper mapper;
    QVERIFY(m_locale.installed.contains(QStringLiteral("loopnet-catalogue")));
    QVERIFY(m_locale.installed.contains(QStringLiteral("plainchat-catalogue")));
}

void AccountServiceMapperTest::answersFollowChangesInTheStoreAfterALookup()
{
    const Accounts::AccountId id = m_store.createAccount(QStringLiteral("loopnet"), {
        {QStringLiteral("loopchat"), {{QStringLiteral("tmc-uid"), QStringLiteral("upd/u/old0")}}}});
    QVERIFY(id);
    AccountServiceMapper mapper;
    const QString oldPath = Prefix + QStringLiteral("upd/u/old0");
    const QString newPath = Prefix + QStringLiteral("upd/u/new0");
    QCOMPARE(mapper.ssoServiceIconIdForTpAccount(oldPath, SERVICE_ICON_NORMAL), QStringLiteral("icon-loopchat"));
    QCOMPARE(mapper.ssoServiceNameForTpAccount(oldPath), QStringLiteral("Loop Chat"));

    // A new icon reaches a path that was answered from the cache before.
    QVERIFY(m_store.setServiceValue(id, QStringLiteral("loopchat"), QStringLiteral("icons/icon-normal"),
                                    QStringLiteral("fresh-icon")));
    QTRY_COMPARE(mapper.ssoServiceIconIdForTpAccount(oldPath, SERVICE_ICON_NORMAL), QStringLiteral("fresh-icon"));
    QCOMPARE(mapper.ssoServiceIconIdForTpAccount(oldPath, SERVICE_ICON_MEDIUM), QStringLiteral("fresh-icon"));

    // Linked to another Telepathy account: the old one is no longer this
    // service.
    QVERIFY(m_store.setServiceValue(id, QStringLiteral("loopchat"), QStringLiteral("tmc-uid"),
                                    QStringLiteral("upd/u/new0")));
    QTRY_COMPARE(mapper.ssoServiceNameForTpAccount(newPath), QStringLiteral("Loop Chat"));
    QVERIFY(mapper.ssoServiceNameForTpAccount(oldPath).isNull());
    QCOMPARE(mapper.ssoAccountIDForTpAccount(oldPath), NoAccount);
}

void AccountServiceMapperTest::seesAccountsCreatedAfterStart()
{
    AccountServiceMapper mapper;
    const QString path = Prefix + QStringLiteral("late/l/late0");
    QVERIFY(mapper.ssoServiceNameForTpAccount(path).isNull());
    const Accounts::AccountId id = m_store.createAccount(QStringLiteral("loopnet"), {
        {QStringLiteral("loopvoice"), {{QStringLiteral("tmc-uid"), QStringLiteral("late/l/late0")}}}});
    QVERIFY(id);
    QTRY_COMPARE(mapper.ssoServiceNameForTpAccount(path), QStringLiteral("Loop Voice"));
    QCOMPARE(mapper.ssoAccountIDForTpAccount(path), id);
}

QTEST_GUILESS_MAIN(AccountServiceMapperTest)
#include "tst_accountservicemapper.moc"
