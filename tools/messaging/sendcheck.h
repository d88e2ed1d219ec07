// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING_TOOL_SENDCHECK_H
#define MESSAGING_TOOL_SENDCHECK_H

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class SendValidator;

// messaging send --check: runs the library's SendValidator for the account
// before anything is sent. A question goes to the notification server (its
// accept/decline actions answer it); with --yes the validator switches the
// radio on or leaves flight mode without asking. On success the send goes
// on; a failure ends the program with ExitValidationBase + the validator's
// failure code.
class SendCheck : public QObject
{
    Q_OBJECT

public:
    // Exit codes 11..16: the validator's failure codes 1..6 plus this.
    static constexpr int ExitValidationBase = 10;

    SendCheck(const QString &accountPath, bool askUser, int timeoutSeconds,
              std::function<void()> onPassed, QObject *parent = nullptr);
    void start();

private:
    void accountReady();
    void exit(int code);

    QString m_accountPath;
    bool m_askUser;
    std::function<void()> m_onPassed;
    SendValidator *m_validator = nullptr; // child of this
    QTimer m_timeout;
    bool m_done = false;
};

#endif // MESSAGING_TOOL_SENDCHECK_H
