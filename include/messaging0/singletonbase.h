// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_SINGLETONBASE_H
#define MESSAGING0_SINGLETONBASE_H

#include "messaging0global.h"

//! Base of the library's process-wide classes. It only holds the one instance:
//! users create it with the default constructor when m_pInstance is null and
//! store it there (instance() does exactly that). The library never deletes it.
//!
//! The static member is deliberately not defined here: a definition in a
//! header would give the application and the library one hidden copy each.
//! Every user class T declares the specialisation in its own header and
//! defines it once in the library's source of T, so that there is exactly
//! one exported object per process:
//! \code
//! template<> T *SingletonBase<T>::m_pInstance;           // header of T
//! template<> T *SingletonBase<T>::m_pInstance = nullptr; // source of T
//! \endcode
template <class T>
class MESSAGING0_EXPORT SingletonBase
{
public:
    //! Virtual, for the classes that derive from it.
    virtual ~SingletonBase() {}

    //! The one instance, created with the default constructor on first use.
    static T *instance()
    {
        if (!m_pInstance)
            m_pInstance = new T;
        return m_pInstance;
    }

    //! The one instance; null until first use.
    static T *m_pInstance;
};

#endif // MESSAGING0_SINGLETONBASE_H
