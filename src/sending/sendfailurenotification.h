// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_SENDFAILURENOTIFICATION_H
#define MESSAGING0_SENDFAILURENOTIFICATION_H

#include <QString>

// The notification that tells the user a message to remoteUid could not be
// sent ("x-tavik.messaging.error.strong"), as MessageSender raises it and
// the retrying send queue once it gives up.
void publishSendFailureNotification(const QString &remoteUid);

#endif // MESSAGING0_SENDFAILURENOTIFICATION_H
