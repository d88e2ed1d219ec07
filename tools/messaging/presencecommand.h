// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING_TOOL_PRESENCECOMMAND_H
#define MESSAGING_TOOL_PRESENCECOMMAND_H

#include "modelcommand.h"

// messaging presence ACCOUNT available|away|offline [--message TEXT]:
// asks for the presence through the account model and waits until the
// account reports it.
class PresenceCommand : public ModelCommand
{
    Q_OBJECT

public:
    PresenceCommand(const QString &accountPath, const QString &status, const QString &message, bool setMessage,
                    int timeoutSeconds);
    static int run(QCoreApplication &app, const QStringList &arguments);

protected:
    void modelReady() override;

private:
    void check();

    QString m_path;
    QString m_status;
    QString m_message;
    bool m_setMessage;
    QString m_initialStatus;
    bool m_requested = false;
    bool m_sawProgress = false;
};

#endif // MESSAGING_TOOL_PRESENCECOMMAND_H
