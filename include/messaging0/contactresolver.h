// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_CONTACTRESOLVER_H
#define MESSAGING0_CONTACTRESOLVER_H

#include "messaging0global.h"

#include <QObject>
#include <QStringList>

#include <QtContacts/QContact>

QT_BEGIN_NAMESPACE_CONTACTS
class QContactFetchRequest;
class QContactManager;
QT_END_NAMESPACE_CONTACTS

class ContactResolverPrivate;

//! Resolves remote ids of one account (phone numbers and instant-messaging
//! addresses) to address-book contacts, one batch at a time:
//! resolveContacts() -> resultsAvailable() -> matchContact() for each id.
//! Phone numbers match on any account; other ids only among the online
//! accounts of the given account path.
//!
//! Both signals always come from the event loop, after the call that started
//! the fetch has returned, also when the engine answers at once.
class MESSAGING0_EXPORT ContactResolver : public QObject
{
    Q_OBJECT
    Q_DECLARE_PRIVATE(ContactResolver)

public:
    //! A resolver with its own address-book manager.
    explicit ContactResolver(QObject *parent = nullptr);
    ~ContactResolver() override;

    //! An empty list does nothing. Replaces a batch still running; only the
    //! newest batch reports.
    void resolveContacts(const QString &accountPath, const QStringList &remoteIds);
    //! The batch request, neither started nor remembered; a child of this resolver.
    QtContacts::QContactFetchRequest *buildRequest(const QString &accountPath,
                                                   const QStringList &remoteIds);
    //! Needs a finished batch; an empty contact otherwise or when nothing matches.
    QtContacts::QContact matchContact(const QString &accountPath, const QString &remoteId);

    //! Fetches the device owner's own contact; selfContactAvailable() follows.
    void resolveSelfContact();
    //! Needs a finished self fetch; the self contact when it has an online
    //! account on accountPath, else an empty contact.
    QtContacts::QContact selfContact(const QString &accountPath);

Q_SIGNALS:
    //! The batch finished; status is false when the fetch failed.
    void resultsAvailable(bool status);
    //! The self fetch finished; status is false when it failed.
    void selfContactAvailable(bool status);

private Q_SLOTS:
    void slotOnResultsAvailable();
    void slotOnSelfResultsAvailable();

protected:
    ContactResolverPrivate *const d_ptr;

private:
    Q_DISABLE_COPY(ContactResolver)
};

#endif // MESSAGING0_CONTACTRESOLVER_H
