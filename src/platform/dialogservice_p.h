// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_DIALOGSERVICE_P_H
#define MESSAGING0_DIALOGSERVICE_P_H

#include "dialogservice.h"

#include <QObject>

class DialogServicePrivate : public QObject
{
    Q_OBJECT
    Q_DECLARE_PUBLIC(DialogService)

public:
    explicit DialogServicePrivate(DialogService *q);
    ~DialogServicePrivate() override;

    void watchServerSignals();
    void stopWatching();

    QString text;
    QString title;
    int buttons = DialogService::YesNoButtons;
    int result = DialogService::Rejected;
    bool modal = false;
    bool answered = false;
    bool watching = false;
    uint serverId = 0; // 0 until Notify has answered
    DialogService *const q_ptr;

public Q_SLOTS:
    void handleActionInvoked(uint id, const QString &action);
    void handleNotificationClosed(uint id, uint reason);
};

#endif // MESSAGING0_DIALOGSERVICE_P_H
