// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "individualstatusmessagestore.h"

#include <QSettings>

template<> IndividualStatusMessageStore *SingletonBase<IndividualStatusMessageStore>::m_pInstance = nullptr;

namespace {
// Shared with the presence user interface: both must open the same file.
const QString Organisation = QStringLiteral("tavik");
const QString Application = QStringLiteral("presence-ui");
} // namespace

class IndividualStatusMessageStorePrivate
{
public:
    QSettings settings{Organisation, Application};
};

IndividualStatusMessageStore::IndividualStatusMessageStore()
    : d_ptr(new IndividualStatusMessageStorePrivate)
{
}

IndividualStatusMessageStore::~IndividualStatusMessageStore()
{
    Q_D(IndividualStatusMessageStore);
    if (m_pInstance == this)
        m_pInstance = nullptr;
    d->settings.sync();
    delete d_ptr;
}

QString IndividualStatusMessageStore::statusMessage(const QString &uid)
{
    Q_D(IndividualStatusMessageStore);
    if (uid.isEmpty())
        return QString();
    d->settings.sync();
    const QVariant value = d->settings.value(uid, QVariant());
    return value.isValid() ? value.toString() : QString();
}

void IndividualStatusMessageStore::setStatusMessage(const QString &uid, const QString &message)
{
    Q_D(IndividualStatusMessageStore);
    // An empty key would land in the file's general section for every
    // account at once.
    if (uid.isEmpty())
        return;
    d->settings.sync();
    d->settings.setValue(uid, message);
    d->settings.sync();
}
