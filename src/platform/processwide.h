// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_PROCESSWIDE_H
#define MESSAGING0_PROCESSWIDE_H

#include <QPointer>

// The one way the library keeps a process-wide Qt object (AccountUtils,
// ChatSessionManager, NetworkStatusManager, QueuedMessageSender, the default
// platform services), one of each class T: created on first use, owned by
// the Qt parent it was created with (the application object, or the first
// caller's object), never deleted by the library. Once its owner has deleted
// it, the next call creates a new one rather than hand out a dangling
// pointer. (AccountModel, AccountServiceMapper, IndividualStatusMessageStore
// and PhoneContextManager keep theirs in SingletonBase.)
//
// The library has no threads: the first call and every later one come from
// the main thread.
template<class T>
class ProcessWide
{
public:
    // The instance; when there is none, create() makes it, it is stored, and
    // then start(instance) runs, so that start() may already call instance().
    template<class Create, class Start>
    static T *instance(Create create, Start start)
    {
        QPointer<T> &slot = current();
        if (!slot) {
            slot = create();
            start(slot.data());
        }
        return slot.data();
    }

    template<class Create>
    static T *instance(Create create)
    {
        return instance(create, [](T *) {});
    }

private:
    static QPointer<T> &current()
    {
        static QPointer<T> slot;
        return slot;
    }
};

#endif // MESSAGING0_PROCESSWIDE_H
