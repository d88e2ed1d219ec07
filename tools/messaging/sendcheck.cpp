// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "sendcheck.h"
#include "commandline.h"

#include "commands.h"

#include <messaging0/accountutils.h>
#include <messaging0/sendvalidator.h>

#include <TelepathyQt/Account>
#include <TelepathyQt/AccountManager>
#include <TelepathyQt/PendingOperation>

#include <QCoreApplication>
#include <QTextStream>

SendCheck::SendCheck(const QString &accountPath, bool askUser, int timeoutSeconds,
                     std::function<void()> onPassed, QObject *parent)
    : QObject(parent)
    , m_accountPath(accountPath)
    , m_askUser(askUser)
    , m_onPassed(std::move(onPassed))
{
    m_timeout.setSingleShot(true);
    m_timeout.setInterval(timeoutSeconds * 1000);
    connect(&m_timeout, &QTimer::timeout, this, [this] {
        err() << "messaging: timed out waiting for the check before sending" << Qt::endl;
        exit(ExitTimeout);
    });
}

void SendCheck::start()
{
    m_timeout.start();
    err() << "messaging: checking whether the message can leave..." << Qt::endl;
    AccountUtils *accounts = AccountUtils::instance();
    if (accounts->accountManager()->isReady()) {
        accountReady();
        return;
    }
    connect(accounts, &AccountUtils::accountManagerReady, this, [this](Tp::PendingOperation *operation) {
        if (operation && operation->isError()) {
            err() << "messaging: the Telepathy account manager is not available" << Qt::endl;
            exit(ExitEnvironment);
            return;
        }
        accountReady();
    });
    connect(accounts, &AccountUtils::accountReady, this, [this](const QString &path) {
        if (path == m_accountPath)
            accountReady();
    });
}

void SendCheck::accountReady()
{
    if (m_validator || m_done)
        return;
    AccountUtils *accounts = AccountUtils::instance();
    if (!accounts->accountManager()->isReady())
        return;
    if (!accounts->accountManager()->accountForObjectPath(m_accountPath)) {
        err() << "messaging: no account " << m_accountPath << Qt::endl;
        exit(ExitEnvironment);
        return;
    }
    const Tp::AccountPtr account = accounts->account(m_accountPath);
    if (account.isNull())
        return; // accountReady() brings it
    // SMS and MMS depend on the device's radio and SIM, the others on the account.
    const bool cellular = account->protocolName() == QLatin1String("tel")
        || account->protocolName() == QLatin1String("mms");
    m_validator = new SendValidator(m_accountPath, cellular, m_askUser, this);
    connect(m_validator, &SendValidator::validationCompleted, this, [this] {
        if (m_done)
            return;
        m_done = true;
        m_timeout.stop();
        err() << "messaging: the message can leave" << Qt::endl;
        m_onPassed();
    });
    connect(m_validator, &SendValidator::validationFailed, this, [this](int code) {
        if (m_done)
            return;
        err() << "messaging: not sent: " << SendValidator::failureText(code);
        if (code == SendValidator::UserDeclined && m_askUser)
            err() << " (no answer, or no notification server to ask; --yes switches without asking)";
        err() << Qt::endl;
        exit(ExitValidationBase + code);
    });
    m_validator->validate();
}

void SendCheck::exit(int code)
{
    if (m_done)
        return;
    m_done = true;
    m_timeout.stop();
    // The offline question may still be on its way to the server; leaving
    // from the event loop lets it go out first.
    QTimer::singleShot(200, qApp, [code] { QCoreApplication::exit(code); });
}
