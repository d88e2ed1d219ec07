#ifndef MESSAGING0_SENDVALIDATOR_H
#define MESSAGING0_SENDVALIDATOR_H

#include "messaging0global.h"

#include <QObject>
#include <QString>

class SendValidatorPrivate;

// Finds out, just before a send, whether the message can leave now; where
// it cannot, tells the user why and offers the remedy.
//
// A cellular validator checks the SIM card, flight mode and the radio; an
// account validator checks the account's state (NetworkStatusManager). One
// validation at a time: validate(), then maybe a question or a wait for the
// platform, then validationCompleted() or validationFailed(code):
//   1 the account is offline (the "You are offline" question was shown)
//   2 the account is still connecting
//   3 no SIM card (a notification was published)
//   4 the user declined the question
//   5 the radio was reported off while waiting for it
//   6 the account is disabled (a banner was shown)
// With askUser false the validator switches the radio on or leaves flight
// mode without asking.
class MESSAGING0_EXPORT SendValidator : public QObject
{
    Q_OBJECT
    Q_DECLARE_PRIVATE(SendValidator)

public:
    enum Dialog {
        NoDialog = 0,
        ExitOfflineModeDialog = 1,
        SwitchNetworkOnDialog = 2,
        AccountOfflineDialog = 3
    };
    Q_ENUM(Dialog)

    enum FailureCode {
        AccountOffline = 1,
        AccountConnecting = 2,
        NoSimCard = 3,
        UserDeclined = 4,
        RadioOff = 5,
        AccountDisabled = 6
    };
    Q_ENUM(FailureCode)

    SendValidator(const QString &accountPath, bool cellular, bool askUser, QObject *parent = nullptr);
    SendValidator(const QString &accountPath, bool cellular, QObject *parent = nullptr);
    // An open question is not closed; its answer is then ignored.
    ~SendValidator() override;

    // Shows one of the questions (NoDialog shows nothing). validate() uses
    // it; the user interface may too, e.g. to offer leaving flight mode
    // before an account check.
    void showDialog(SendValidator::Dialog dialog);

public Q_SLOTS:
    void validate();

Q_SIGNALS:
    void validationCompleted();
    void validationFailed(int code);

protected:
    SendValidatorPrivate *const d_ptr;

private:
    Q_DISABLE_COPY(SendValidator)
};

#endif // MESSAGING0_SENDVALIDATOR_H
