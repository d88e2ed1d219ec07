// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_OFONOMODEMFOLLOWER_H
#define MESSAGING0_OFONOMODEMFOLLOWER_H

#include <QObject>
#include <QSharedPointer>
#include <QString>

class QOfonoManager;

// Tells which modem is oFono's first one, as modems and oFono itself come
// and go: modemChanged(path) with an empty path when there is none. Unlike
// QOfonoManager alone it also says so when oFono is not running at all
// (one asynchronous NameHasOwner at start), so that nobody waits for a
// modem that cannot come.
class OfonoModemFollower : public QObject
{
    Q_OBJECT

public:
    explicit OfonoModemFollower(QObject *parent = nullptr);
    ~OfonoModemFollower() override;

    // Empty while there is no modem or it is not known yet.
    QString modemPath() const { return m_path; }
    // True once the first answer (a modem, or none) is in.
    bool isKnown() const { return m_known; }

Q_SIGNALS:
    void modemChanged(const QString &path);

private:
    void follow(const QString &path);

    QSharedPointer<QOfonoManager> m_manager; // shared with every libqofono user of the process
    QString m_path;
    bool m_known = false;
};

#endif // MESSAGING0_OFONOMODEMFOLLOWER_H
