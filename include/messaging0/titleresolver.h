// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_TITLERESOLVER_H
#define MESSAGING0_TITLERESOLVER_H

#include "messaging0global.h"

#include <QObject>
#include <QString>

class TitleResolverPrivate;

//! What a person calls the other side of a one-to-one conversation: the
//! address book's name for the remote id (through ContactResolver), else the
//! number in its readable form ("+358 40 1234567"), else the id as written.
//! Conversation lists, search results and incoming-message notifications
//! all show this title.
//!
//! title() answers at once from what is known and starts a lookup the first
//! time a remote id is asked for; titleChanged() follows when the address
//! book knows a name. Lookups of one event-loop turn go to the address book
//! as one batch per account. Names are kept for the resolver's lifetime.
class MESSAGING0_EXPORT TitleResolver : public QObject
{
    Q_OBJECT
    Q_DECLARE_PRIVATE(TitleResolver)

public:
    //! A resolver with an empty cache; its address-book lookups start on first use.
    explicit TitleResolver(QObject *parent = nullptr);
    ~TitleResolver() override;

    //! The title as far as known now; never empty for a non-empty remote id.
    QString title(const QString &accountPath, const QString &remoteId);
    //! The title without the address book: the readable number or the id.
    static QString fallbackTitle(const QString &remoteId);

Q_SIGNALS:
    //! The address book gave remoteId on accountPath a name.
    void titleChanged(const QString &accountPath, const QString &remoteId);

private:
    Q_DISABLE_COPY(TitleResolver)
    TitleResolverPrivate *const d_ptr;
};

#endif // MESSAGING0_TITLERESOLVER_H
