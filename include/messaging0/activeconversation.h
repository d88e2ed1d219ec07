// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_ACTIVECONVERSATION_H
#define MESSAGING0_ACTIVECONVERSATION_H

#include "messaging0global.h"

#include <QObject>
#include <QString>

class ActiveConversationPrivate;

//! Says, for every process of the session, that one conversation is on
//! screen: while an ActiveConversation of a thread is active, incoming
//! messages of that thread make no notification (IncomingNotifier asks
//! isActiveAnywhere()), and the user interface showing it marks them read.
//!
//! How: the process owns a session-bus name made from the thread key,
//! "com.tavik.Messaging.ActiveThread.t<SHA-1 of the key in hex>", for as
//! long as one of its ActiveConversation objects of that thread is active.
//! The bus releases the name when the process ends, so a crashed user
//! interface leaves no conversation marked active; nothing is written to
//! the history store. Asking costs one NameHasOwner call on the bus.
//!
//! The key is the history store's thread id as text.
class MESSAGING0_EXPORT ActiveConversation : public QObject
{
    Q_OBJECT
    Q_DECLARE_PRIVATE(ActiveConversation)

public:
    //! An inactive mark with no thread key.
    explicit ActiveConversation(QObject *parent = nullptr);
    //! Inactive first.
    ~ActiveConversation() override;

    //! The thread this mark names.
    QString threadKey() const;
    //! Moves the mark to another thread when active.
    void setThreadKey(const QString &threadKey);
    //! Whether this mark holds its bus name.
    bool isActive() const;
    //! False while there is no thread key or no session bus.
    void setActive(bool active);

    //! Whether some process (this one included) shows the thread.
    static bool isActiveAnywhere(const QString &threadKey);
    //! The bus name that marks the thread active.
    static QString busName(const QString &threadKey);

Q_SIGNALS:
    //! isActive() changed.
    void activeChanged(bool active);

private:
    Q_DISABLE_COPY(ActiveConversation)
    ActiveConversationPrivate *const d_ptr;
};

#endif // MESSAGING0_ACTIVECONVERSATION_H
