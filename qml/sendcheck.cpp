// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "sendcheck.h"

#include <messaging0/chatcontext.h>
#include <messaging0/dialogservice.h>
#include <messaging0/platformservices.h>
#include <messaging0/sendvalidator.h>

#include <QList>

namespace {
// Checks that are running, newest last: the newest gets the library's
// next question.
QList<QPointer<QmlSendCheck>> &runningChecks()
{
    static QList<QPointer<QmlSendCheck>> checks;
    return checks;
}
} // namespace

// A question of the library shown by QML instead of as a notification.
class QmlQuestion : public DialogService
{
    Q_OBJECT
public:
    QmlQuestion(const QString &text, int buttons, QmlSendCheck *check)
        : DialogService(text, buttons), m_check(check)
    {
    }

    void appear() override
    {
        if (m_check)
            m_check->ask(this);
        else
            done(Rejected);
    }

    void answer(bool accept) { done(accept ? Accepted : Rejected); }

private:
    QPointer<QmlSendCheck> m_check;
};

void QmlSendCheck::routeQuestions()
{
    PlatformServices::setDialogFactory([](const QString &text, int buttons) -> DialogService * {
        QList<QPointer<QmlSendCheck>> &checks = runningChecks();
        checks.removeAll(nullptr);
        // Nothing running: the default (a notification) asks.
        if (checks.isEmpty())
            return nullptr;
        return new QmlQuestion(text, buttons, checks.last());
    });
}

QmlSendCheck::QmlSendCheck(QObject *parent) : QObject(parent) {}

QmlSendCheck::~QmlSendCheck()
{
    runningChecks().removeAll(this);
    // The validator leaves an unanswered question to whoever showed it.
    delete m_question;
}

void QmlSendCheck::setAccountPath(const QString &accountPath)
{
    if (accountPath == m_accountPath)
        return;
    m_accountPath = accountPath;
    Q_EMIT accountPathChanged();
}

void QmlSendCheck::setRemoteId(const QString &remoteId)
{
    if (remoteId == m_remoteId)
        return;
    m_remoteId = remoteId;
    Q_EMIT remoteIdChanged();
}

QString QmlSendCheck::question() const
{
    return m_question ? m_question->text() : QString();
}

QString QmlSendCheck::questionTitle() const
{
    return m_question ? m_question->title() : QString();
}

void QmlSendCheck::run(bool allowRemedy)
{
    delete m_validator;
    const bool cellular = ChatContext(m_remoteId, m_accountPath).isCellular();
    m_validator = new SendValidator(m_accountPath, cellular, !allowRemedy, this);
    connect(m_validator, &SendValidator::validationCompleted, this, [this] { finish(true, CanSend); });
    connect(m_validator, &SendValidator::validationFailed, this, [this](int code) { finish(false, code); });
    setRunning(true);
    m_validator->validate();
}

void QmlSendCheck::answer(bool accept)
{
    QPointer<QmlQuestion> question = m_question;
    m_question.clear();
    Q_EMIT questionChanged();
    if (question)
        question->answer(accept);
    setRunning(m_running);
}

void QmlSendCheck::ask(QmlQuestion *question)
{
    m_question = question;
    Q_EMIT questionChanged();
}

void QmlSendCheck::setRunning(bool running)
{
    // The offline question stays open after the failure it explains (its
    // answer only opens the presence settings): the check keeps receiving
    // the library's questions until it is answered.
    runningChecks().removeAll(this);
    if (running || m_question)
        runningChecks().append(this);
    if (running == m_running)
        return;
    m_running = running;
    Q_EMIT runningChanged();
}

void QmlSendCheck::finish(bool canSend, int code)
{
    setRunning(false);
    Q_EMIT finished(canSend, code, canSend ? QString() : reasonText(code));
}

QString QmlSendCheck::reasonText(int code)
{
    return code == CanSend ? QString() : SendValidator::failureText(code);
}

#include "sendcheck.moc"
