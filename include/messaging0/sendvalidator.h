// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_SENDVALIDATOR_H
#define MESSAGING0_SENDVALIDATOR_H

#include "messaging0global.h"

#include <QObject>
#include <QString>

class SendValidatorPrivate;

//! Finds out, just before a send, whether the message can leave now; where
//! it cannot, tells the user why and offers the remedy.
//!
//! A cellular validator checks the SIM card, flight mode and the radio; an
//! account validator checks the account's state (NetworkStatusManager). One
//! validation at a time: validate(), then maybe a question or a wait for the
//! platform, then validationCompleted() or validationFailed(code):
//!   1 the account is offline (the "You are offline" question was shown)
//!   2 the account is still connecting
//!   3 no SIM card (a notification was published)
//!   4 the user declined the question
//!   5 the radio was reported off while waiting for it
//!   6 the account is disabled (a banner was shown)
//! With askUser false the validator switches the radio on or leaves flight
//! mode without asking.
class MESSAGING0_EXPORT SendValidator : public QObject
{
    Q_OBJECT
    Q_DECLARE_PRIVATE(SendValidator)

public:
    //! The questions a validator can show.
    enum Dialog {
        NoDialog = 0, //!< nothing
        ExitOfflineModeDialog = 1, //!< leave flight mode?
        SwitchNetworkOnDialog = 2, //!< switch the phone network on?
        AccountOfflineDialog = 3 //!< the account is offline: open the presence user interface?
    };
    Q_ENUM(Dialog)

    //! Why a validation failed, the code of validationFailed().
    enum FailureCode {
        AccountOffline = 1, //!< the account is offline (the question was shown)
        AccountConnecting = 2, //!< the account is still connecting
        NoSimCard = 3, //!< no SIM card (a notification was published)
        UserDeclined = 4, //!< the user declined the question
        RadioOff = 5, //!< the radio was reported off while waiting for it
        AccountDisabled = 6 //!< the account is disabled (a banner was shown)
    };
    Q_ENUM(FailureCode)

    //! A validator for the account (cellular for the SMS and MMS accounts); askUser false switches the radio on or leaves flight mode without asking.
    SendValidator(const QString &accountPath, bool cellular, bool askUser, QObject *parent = nullptr);
    //! A validator that asks the user.
    SendValidator(const QString &accountPath, bool cellular, QObject *parent = nullptr);
    //! An open question is not closed; its answer is then ignored.
    ~SendValidator() override;

    //! What a person reads about a validation failure (a FailureCode), from
    //! the library's catalogue: the one text a user interface or a program
    //! shows for it. Any other code gives the catalogue's general "cannot be
    //! sent" text.
    static QString failureText(int code);

    //! Shows one of the questions (NoDialog shows nothing). validate() uses
    //! it; the user interface may too, e.g. to offer leaving flight mode
    //! before an account check.
    void showDialog(SendValidator::Dialog dialog);

public Q_SLOTS:
    //! Starts the check; validationCompleted() or validationFailed() follows.
    void validate();

Q_SIGNALS:
    //! The message can leave now.
    void validationCompleted();
    //! The message cannot leave: a FailureCode.
    void validationFailed(int code);

protected:
    SendValidatorPrivate *const d_ptr;

private:
    Q_DISABLE_COPY(SendValidator)
};

#endif // MESSAGING0_SENDVALIDATOR_H
