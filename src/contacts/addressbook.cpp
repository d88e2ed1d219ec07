// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "addressbook.h"

#include "phonecontextmanager.h"

#include <QSignalBlocker>
#include <QtEndian>

#include <QtContacts/QContactDisplayLabel>
#include <QtContacts/QContactFetchRequest>
#include <QtContacts/QContactManager>
#include <QtContacts/QContactManagerEngine>
#include <QtContacts/QContactName>
#include <QtContacts/QContactNickname>

QTCONTACTS_USE_NAMESPACE

namespace {

QString &explicitEngine()
{
    static QString name;
    return name;
}

// Set on a request between startFetch() and the announcement of its finish.
const char FinishPendingProperty[] = "_messaging0_finishPending";

} // namespace

const QString AddressBook::MemoryStoreId = QStringLiteral("messaging0");

void AddressBook::setEngine(const QString &engineName)
{
    explicitEngine() = engineName;
}

QString AddressBook::engineName()
{
    if (!explicitEngine().isEmpty())
        return explicitEngine();
    const QString fromEnvironment = qEnvironmentVariable("MESSAGING_CONTACTS_ENGINE");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    static const bool haveTracker =
        QContactManager::availableManagers().contains(QStringLiteral("tracker"));
    return haveTracker ? QStringLiteral("tracker") : QStringLiteral("memory");
}

QMap<QString, QString> AddressBook::managerParameters()
{
    QMap<QString, QString> parameters = PhoneContextManager::contactManagerParameter();
    if (engineName() == QLatin1String("memory"))
        parameters.insert(QStringLiteral("id"), MemoryStoreId);
    return parameters;
}

QContactManager *AddressBook::createManager(QObject *parent)
{
    return new QContactManager(engineName(), managerParameters(), parent);
}

QString AddressBook::accountPath(const QContactDetail &onlineAccount)
{
    return onlineAccount.value(FieldAccountPath).toString();
}

void AddressBook::setAccountPath(QContactOnlineAccount *onlineAccount, const QString &accountPath)
{
    onlineAccount->setValue(FieldAccountPath, accountPath);
}

QContactDetailFilter AddressBook::accountPathFilter(const QString &accountPath)
{
    QContactDetailFilter filter;
    filter.setDetailType(QContactOnlineAccount::Type, FieldAccountPath);
    filter.setValue(accountPath);
    filter.setMatchFlags(QContactFilter::MatchExactly);
    return filter;
}

QString AddressBook::displayLabel(const QContact &contact)
{
    const QString label = contact.detail<QContactDisplayLabel>().label();
    if (!label.isEmpty())
        return label;

    const QContactName name = contact.detail<QContactName>();
    const QString fullName =
        QString(name.firstName() + QLatin1Char(' ') + name.lastName()).trimmed();
    if (!fullName.isEmpty())
        return fullName;
    if (!name.customLabel().isEmpty())
        return name.customLabel();

    return contact.detail<QContactNickname>().nickname();
}

quint32 AddressBook::numericId(const QContactId &id)
{
    const QByteArray local = id.localId();
    if (local.isEmpty())
        return 0;
    if (local.size() == int(sizeof(quint32)) && id.managerUri().startsWith(QLatin1String("qtcontacts:memory:"))) {
        const quint32 number = qFromLittleEndian<quint32>(local.constData());
        if (number != 0)
            return number;
    }
    quint32 hash = 2166136261u;
    for (const char byte : local) {
        hash ^= quint8(byte);
        hash *= 16777619u;
    }
    return hash != 0 ? hash : 1;
}

void AddressBook::startFetch(QContactFetchRequest *request)
{
    bool started = false;
    {
        const QSignalBlocker blocker(request);
        QContactManagerEngine::updateContactFetchRequest(request, QList<QContact>(),
                                                         QContactManager::NoError,
                                                         QContactAbstractRequest::InactiveState);
        started = request->start();
    }
    if (request->isActive())
        return; // an asynchronous engine reports by itself

    request->setProperty(FinishPendingProperty, true);
    // Posted to the request: dropped if the request is deleted first.
    QMetaObject::invokeMethod(request, [request, started] {
        request->setProperty(FinishPendingProperty, QVariant());
        if (!started || request->isInactive()) {
            QContactManagerEngine::updateContactFetchRequest(request, QList<QContact>(),
                                                             QContactManager::NotSupportedError,
                                                             QContactAbstractRequest::FinishedState);
            return;
        }
        if (!request->contacts().isEmpty())
            Q_EMIT request->resultsAvailable();
        Q_EMIT request->stateChanged(request->state());
    }, Qt::QueuedConnection);
}

bool AddressBook::isFetchRunning(const QContactFetchRequest *request)
{
    return request->isActive() || request->property(FinishPendingProperty).toBool();
}
