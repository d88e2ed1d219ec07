// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "accountstorefixture.h"

#include <Accounts/Manager>
#include <Accounts/Service>

#include <QDir>
#include <QFile>
#include <QTextStream>

namespace {
bool writeFile(const QString &path, const QString &content)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        qWarning("cannot write %s", qPrintable(path));
        return false;
    }
    file.write(content.toUtf8());
    return true;
}
} // namespace

AccountStoreFixture::AccountStoreFixture() = default;

AccountStoreFixture::~AccountStoreFixture()
{
    delete m_manager;
}

bool AccountStoreFixture::setUp()
{
    m_root = QDir::home().filePath(QStringLiteral("accounts"));
    for (const char *folder : {"db", "providers", "services", "service_types"}) {
        if (!QDir().mkpath(m_root + QLatin1Char('/') + QLatin1String(folder)))
            return false;
    }
    qputenv("ACCOUNTS", QFile::encodeName(m_root + QStringLiteral("/db")));
    qputenv("AG_PROVIDERS", QFile::encodeName(m_root + QStringLiteral("/providers")));
    qputenv("AG_SERVICES", QFile::encodeName(m_root + QStringLiteral("/services")));
    qputenv("AG_SERVICE_TYPES", QFile::encodeName(m_root + QStringLiteral("/service_types")));

    for (const char *type : {"IM", "e-mail"}) {
        const QString id = QLatin1String(type);
        if (!writeFile(m_root + QStringLiteral("/service_types/%1.service-type").arg(id),
                       QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                      "<service-type id=\"%1\">\n  <name>%1</name>\n</service-type>\n")
                           .arg(id)))
            return false;
    }
    addProvider(QStringLiteral("loopnet"), QStringLiteral("loopnet-catalogue"));
    addProvider(QStringLiteral("plainnet"));
    addService(QStringLiteral("loopchat"), QStringLiteral("IM"), QStringLiteral("Loop Chat"),
               QStringLiteral("icon-loopchat"), QStringLiteral("loopnet"));
    addService(QStringLiteral("loopvoice"), QStringLiteral("IM"), QStringLiteral("Loop Voice"),
               QStringLiteral("icon-loopvoice"), QStringLiteral("loopnet"));
    addService(QStringLiteral("plainchat"), QStringLiteral("IM"), QStringLiteral("Plain Chat"), QStringLiteral("icon-plainchat"),
               QStringLiteral("plainnet"), QStringLiteral("plainchat-catalogue"));
    addService(QStringLiteral("loopmail"), QStringLiteral("e-mail"), QStringLiteral("Loop Mail"),
               QStringLiteral("icon-loopmail"), QStringLiteral("loopnet"));
    return true;
}

void AccountStoreFixture::addProvider(const QString &id, const QString &catalogue)
{
    QString xml = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<provider id=\"%1\">\n"
                                 "  <name>%1</name>\n").arg(id);
    if (!catalogue.isEmpty())
        xml += QStringLiteral("  <translations>%1</translations>\n").arg(catalogue);
    xml += QStringLiteral("</provider>\n");
    writeFile(m_root + QStringLiteral("/providers/%1.provider").arg(id), xml);
}

void AccountStoreFixture::addService(const QString &id, const QString &type, const QString &displayName,
                                     const QString &icon, const QString &provider, const QString &catalogue)
{
    QString xml = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<service id=\"%1\">\n"
                                 "  <type>%2</type>\n  <name>%3</name>\n  <icon>%4</icon>\n"
                                 "  <provider>%5</provider>\n")
                      .arg(id, type, displayName, icon, provider);
    if (!catalogue.isEmpty())
        xml += QStringLiteral("  <translations>%1</translations>\n").arg(catalogue);
    xml += QStringLiteral("</service>\n");
    writeFile(m_root + QStringLiteral("/services/%1.service").arg(id), xml);
}

Accounts::Manager *AccountStoreFixture::manager()
{
    if (!m_manager)
        m_manager = new Accounts::Manager();
    return m_manager;
}

Accounts::AccountId AccountStoreFixture::createAccount(const QString &provider,
                                                       const QMap<QString, QVariantMap> &serviceSettings)
{
    Accounts::Account *account = manager()->createAccount(provider);
    if (!account)
        return 0;
    account->setDisplayName(provider + QStringLiteral(" account"));
    account->setEnabled(true);
    for (auto it = serviceSettings.cbegin(); it != serviceSettings.cend(); ++it) {
        const Accounts::Service service = manager()->service(it.key());
        if (!service.isValid()) {
            qWarning("no service %s in the fixture", qPrintable(it.key()));
            return 0;
        }
        account->selectService(service);
        account->setEnabled(true);
        for (auto setting = it.value().cbegin(); setting != it.value().cend(); ++setting)
            account->setValue(setting.key(), setting.value());
    }
    account->selectService();
    if (!account->syncAndBlock())
        return 0;
    return account->id();
}

bool AccountStoreFixture::setServiceValue(Accounts::AccountId id, const QString &service, const QString &key,
                                          const QVariant &value)
{
    Accounts::Account *account = manager()->account(id);
    const Accounts::Service s = manager()->service(service);
    if (!account || !s.isValid())
        return false;
    account->selectService(s);
    if (value.isValid())
        account->setValue(key, value);
    else
        account->remove(key);
    account->selectService();
    return account->syncAndBlock();
}

bool AccountStoreFixture::removeAccount(Accounts::AccountId id)
{
    Accounts::Account *account = manager()->account(id);
    if (!account)
        return false;
    account->remove();
    return account->syncAndBlock();
}
