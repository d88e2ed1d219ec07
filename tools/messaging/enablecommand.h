// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING_TOOL_ENABLECOMMAND_H
#define MESSAGING_TOOL_ENABLECOMMAND_H

#include "modelcommand.h"

// messaging enable ACCOUNT: enables the account through the account model
// and waits until Telepathy reports it enabled. DisableCommand is the
// opposite.
class EnableCommand : public ModelCommand
{
    Q_OBJECT

public:
    static int run(QCoreApplication &app, const QStringList &arguments);

protected:
    EnableCommand(const QString &accountPath, bool enable, int timeoutSeconds);
    static int run(QCoreApplication &app, const QStringList &arguments, bool enable);
    void modelReady() override;

private:
    void check();

    QString m_path;
    bool m_enable;
    bool m_requested = false;
};

#endif // MESSAGING_TOOL_ENABLECOMMAND_H
