// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING_QML_SENDCHECK_H
#define MESSAGING_QML_SENDCHECK_H

#include <messaging0/sendvalidator.h>

#include <QObject>
#include <QPointer>
#include <QString>

class QmlQuestion;

// The check before a send (SendValidator) for one account and recipient.
// run() ends with finished(canSend, code, reason): code 0 when the message
// can leave, otherwise one of the failure codes below with the library's
// text for it (SendValidator::failureText()).
//
// Where a remedy exists (switching the phone network on, leaving flight
// mode), run(false) asks first: the question appears in the question and
// questionTitle properties, and answer() gives the user's choice. run(true)
// applies the remedy without asking. While a check waits for its answer the
// library's questions go to it instead of the desktop's notifications.
class QmlSendCheck : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString accountPath READ accountPath WRITE setAccountPath NOTIFY accountPathChanged)
    Q_PROPERTY(QString remoteId READ remoteId WRITE setRemoteId NOTIFY remoteIdChanged)
    Q_PROPERTY(bool running READ isRunning NOTIFY runningChanged)
    Q_PROPERTY(QString question READ question NOTIFY questionChanged)
    Q_PROPERTY(QString questionTitle READ questionTitle NOTIFY questionChanged)
public:
    // The code of finished(): 0, or SendValidator's failure code.
    enum Code {
        CanSend = 0,
        AccountOffline = SendValidator::AccountOffline,
        AccountConnecting = SendValidator::AccountConnecting,
        NoSimCard = SendValidator::NoSimCard,
        UserDeclined = SendValidator::UserDeclined,
        RadioOff = SendValidator::RadioOff,
        AccountDisabled = SendValidator::AccountDisabled
    };
    Q_ENUM(Code)

    explicit QmlSendCheck(QObject *parent = nullptr);
    ~QmlSendCheck() override;

    QString accountPath() const { return m_accountPath; }
    void setAccountPath(const QString &accountPath);
    QString remoteId() const { return m_remoteId; }
    void setRemoteId(const QString &remoteId);
    bool isRunning() const { return m_running; }
    QString question() const;
    QString questionTitle() const;

    Q_INVOKABLE void run(bool allowRemedy = false);
    // Answers the open question; nothing happens when there is none.
    Q_INVOKABLE void answer(bool accept);

    static QString reasonText(int code);
    // Installed once by the plugin: the library's questions go to the check
    // that is running, if any.
    static void routeQuestions();

Q_SIGNALS:
    void accountPathChanged();
    void remoteIdChanged();
    void runningChanged();
    void questionChanged();
    void finished(bool canSend, int code, const QString &reason);

private:
    void finish(bool canSend, int code);
    void ask(QmlQuestion *question);
    void setRunning(bool running);

    QString m_accountPath;
    QString m_remoteId;
    bool m_running = false;
    // The current run's validator, a child of this check.
    QPointer<SendValidator> m_validator;
    // The open question; the validator that asked deletes it once answered,
    // this check when it goes first.
    QPointer<QmlQuestion> m_question;

    friend class QmlQuestion;
};

#endif // MESSAGING_QML_SENDCHECK_H
