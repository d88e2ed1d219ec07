// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING_TESTS_QMLFIXTURE_H
#define MESSAGING_TESTS_QMLFIXTURE_H

#include "systembusfakes.h"

#include <QObject>
#include <QVariantList>

// The private stack as QML tests drive it (context property "fixture"):
// the test connection managers' control interface and the fake oFono.
// Accounts by object path; the manager is the path's fourth element.
class QmlFixture : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // The seeded Telepathy accounts as Mission Control lists them:
    // [{path, name, enabled}], read once at start.
    Q_INVOKABLE QVariantList accounts() const { return m_accounts; }
    // Clears the managers' armed failures and logs, and puts the SIM and
    // radio back.
    Q_INVOKABLE void reset();
    Q_INVOKABLE void failNextSend(const QString &accountPath, const QString &errorName,
                                  const QString &errorMessage);
    // A message from sender on the account's latest connection.
    Q_INVOKABLE void injectMessage(const QString &accountPath, const QString &sender, const QString &text);
    // A delivery report (delivered) for the account's most recent send.
    Q_INVOKABLE void deliverLastSent(const QString &accountPath);
    Q_INVOKABLE QStringList sentTexts(const QString &accountPath);
    Q_INVOKABLE void setSimPresent(bool present);
    Q_INVOKABLE void setModemOnline(bool online);
    // The library's texts for a message status and a failed check.
    Q_INVOKABLE QString statusText(int status) const;
    Q_INVOKABLE QString checkText(int code) const;

    bool loadAccounts();

private:
    QVariantList m_accounts;
    SystemBusFakes m_device;
};

#endif // MESSAGING_TESTS_QMLFIXTURE_H
