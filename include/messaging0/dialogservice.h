// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_DIALOGSERVICE_H
#define MESSAGING0_DIALOGSERVICE_H

#include "messaging0global.h"

#include <QObject>
#include <QString>

class DialogServicePrivate;

//! A question to the user with an accept and a decline answer.
//!
//! The default implementation shows it as a freedesktop notification
//! ("org.freedesktop.Notifications" on the session bus) with the actions
//! "accept" and "decline". result() is Accepted (1024) once the accept action
//! is invoked; declining, closing or a server that is not there give
//! Rejected (0). disappeared() is emitted once, on the first of these.
//!
//! Create dialogs with PlatformServices::createDialog(); a device with its
//! own toolkit subclasses this, reimplements appear(), calls done() with the
//! answer, and registers a factory with PlatformServices::setDialogFactory().
class MESSAGING0_EXPORT DialogService : public QObject
{
    Q_OBJECT
    Q_DECLARE_PRIVATE(DialogService)

public:
    //! \var DialogService::Rejected
    //! Declined, closed, or not shown.

    //! \var DialogService::Accepted
    //! The user accepted.

    //! The answer, as result() gives it.
    enum Result { Rejected = 0, Accepted = 1024 };
    //! The standard-button set of a yes/no question.
    static constexpr int YesNoButtons = 0x14000;

    //! A question with the text; use PlatformServices::createDialog() to get the registered kind.
    explicit DialogService(const QString &text, int buttons = YesNoButtons, QObject *parent = nullptr);
    ~DialogService() override;

    //! The question.
    QString text() const;
    //! The standard-button set.
    int buttons() const;
    //! The title shown above the question.
    QString title() const;
    //! Sets the title.
    void setTitle(const QString &title);
    //! Whether the question blocks the rest of the user interface.
    bool isModal() const;
    //! Sets whether the question is modal.
    void setModal(bool modal);
    //! Rejected until answered.
    int result() const;
    //! done() has been called.
    bool isAnswered() const;

    //! Shows the question. The dialog stays an object after it is answered;
    //! its owner deletes it.
    virtual void appear();

Q_SIGNALS:
    //! The question was answered or closed; result() holds the answer.
    void disappeared();

protected:
    //! Records the answer and emits disappeared(); later calls are ignored.
    void done(int result);

    DialogServicePrivate *const d_ptr;

private:
    Q_DISABLE_COPY(DialogService)
};

#endif // MESSAGING0_DIALOGSERVICE_H
