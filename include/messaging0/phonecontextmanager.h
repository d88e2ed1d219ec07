// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_PHONECONTEXTMANAGER_H
#define MESSAGING0_PHONECONTEXTMANAGER_H

#include "messaging0global.h"
#include "singletonbase.h"

#include <QMap>
#include <QObject>
#include <QString>

#include <QtContacts/QContactId>

class PhoneContextManagerPrivate;

//! Labels that tell which of a contact's phone numbers a remote id is, such as
//! " | home mobile", for the ids asked about most recently (at most 20).
//!
//! Fetches are pulled by the owner of the user interface: phoneContext() on a
//! new id and address-book changes emit updateNeeded(); the owner calls
//! update() when it suits it (for example after a batch of phoneContext()
//! calls). Labels arrive with phoneContextChanged(), keyed by the short form
//! of the number (PhoneNumberUtils::makeShortNumber).
class MESSAGING0_EXPORT PhoneContextManager : public QObject,
                                              public SingletonBase<PhoneContextManager>
{
    Q_OBJECT
    Q_DECLARE_PRIVATE(PhoneContextManager)

public:
    //! Use the process-wide instance (SingletonBase::instance()).
    PhoneContextManager();
    ~PhoneContextManager() override;

    //! The parameters of every address-book manager of the library.
    static QMap<QString, QString> contactManagerParameter();

    //! Registers the id and returns its label as known now (null when none).
    QString phoneContext(const QString &remoteId);

    //! Asks for a fetch: emits updateNeeded(), and the next update() fetches.
    void triggerUpdate();
    //! Starts a fetch if one was asked for since the last one started.
    void update();

Q_SIGNALS:
    //! The label of an id, keyed by its short form, arrived or changed.
    void phoneContextChanged(const QString &remoteId, const QString &phoneContext);
    //! A fetch is wanted; call update() when it suits.
    void updateNeeded();

private Q_SLOTS:
    void startContactsFetching();
    void handleContactFetchRequestResultsAvailable();
    void handleContactManagerContactsChanged(const QList<QtContacts::QContactId> &contactIds);
    void handleContactManagerContactsRemoved(const QList<QtContacts::QContactId> &contactIds);

protected:
    PhoneContextManagerPrivate *const d_ptr;

private:
    Q_DISABLE_COPY(PhoneContextManager)
};

//! \cond
template<> PhoneContextManager *SingletonBase<PhoneContextManager>::m_pInstance;

//! \endcond

#endif // MESSAGING0_PHONECONTEXTMANAGER_H
