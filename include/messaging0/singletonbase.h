#ifndef MESSAGING0_SINGLETONBASE_H
#define MESSAGING0_SINGLETONBASE_H

#include "messaging0global.h"

// Base of the library's process-wide classes. It only holds the one instance:
// users create it with the default constructor when m_pInstance is null and
// store it there (instance() does exactly that). The library never deletes it.
//
// The static member is deliberately not defined here: a definition in a
// header would give the application and the library one hidden copy each.
// Every user class T declares the specialisation in its own header,
//     template<> T *SingletonBase<T>::m_pInstance;
// and defines it once in the library's source of T,
//     template<> T *SingletonBase<T>::m_pInstance = nullptr;
// so there is exactly one exported object per process.
template <class T>
class MESSAGING0_EXPORT SingletonBase
{
public:
    virtual ~SingletonBase() {}

    static T *instance()
    {
        if (!m_pInstance)
            m_pInstance = new T;
        return m_pInstance;
    }

    static T *m_pInstance;
};

#endif // MESSAGING0_SINGLETONBASE_H
