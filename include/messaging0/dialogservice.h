#ifndef MESSAGING0_DIALOGSERVICE_H
#define MESSAGING0_DIALOGSERVICE_H

#include "messaging0global.h"

#include <QObject>
#include <QString>

class DialogServicePrivate;

// A question to the user with an accept and a decline answer.
//
// The default implementation shows it as a freedesktop notification
// ("org.freedesktop.Notifications" on the session bus) with the actions
// "accept" and "decline". result() is Accepted (1024) once the accept action
// is invoked; declining, closing or a server that is not there give
// Rejected (0). disappeared() is emitted once, on the first of these.
//
// Create dialogs with PlatformServices::createDialog(); a device with its
// own toolkit subclasses this, reimplements appear(), calls done() with the
// answer, and registers a factory with PlatformServices::setDialogFactory().
class MESSAGING0_EXPORT DialogService : public QObject
{
    Q_OBJECT
    Q_DECLARE_PRIVATE(DialogService)

public:
    enum Result { Rejected = 0, Accepted = 1024 };
    // The standard-button set of a yes/no question.
    static constexpr int YesNoButtons = 0x14000;

    explicit DialogService(const QString &text, int buttons = YesNoButtons, QObject *parent = nullptr);
    ~DialogService() override;

    QString text() const;
    int buttons() const;
    QString title() const;
    void setTitle(const QString &title);
    bool isModal() const;
    void setModal(bool modal);
    // Rejected until answered.
    int result() const;
    bool isAnswered() const;

    // Shows the question. The dialog stays an object after it is answered;
    // its owner deletes it.
    virtual void appear();

Q_SIGNALS:
    void disappeared();

protected:
    // Records the answer and emits disappeared(); later calls are ignored.
    void done(int result);

    DialogServicePrivate *const d_ptr;

private:
    Q_DISABLE_COPY(DialogService)
};

#endif // MESSAGING0_DIALOGSERVICE_H
