// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_CONFITEM_H
#define MESSAGING0_CONFITEM_H

#include <QObject>
#include <QVariant>

class ConfItemPrivate;

// One configuration key in dconf, e.g. "/Messaging/Settings/DeliveryReport".
//
// Reading needs no bus. Writing goes through dconf-service on the session
// bus; the new value is visible to this process at once and reaches other
// processes (and other ConfItems) through valueChanged().
//
// Supported value types: bool, int, uint, qlonglong, qulonglong, double,
// QString, QStringList and QByteArray.
class ConfItem : public QObject
{
    Q_OBJECT
    Q_DECLARE_PRIVATE(ConfItem)

public:
    explicit ConfItem(const QString &key, QObject *parent = nullptr);
    ~ConfItem() override;

    QString key() const;
    // False for a text that dconf does not accept as a key ("", "a", "/a/").
    bool isValidKey() const;

    // The stored value, or defaultValue when the key holds nothing (or is
    // not a valid key, or holds a type that has no Qt counterpart).
    QVariant value(const QVariant &defaultValue = QVariant()) const;

    // Writes the value; false when the key is invalid, the type is not
    // supported or dconf refused the write. A null QVariant resets the key.
    bool set(const QVariant &value);
    bool unset();

Q_SIGNALS:
    void valueChanged();

protected:
    ConfItemPrivate *const d_ptr;

private:
    Q_DISABLE_COPY(ConfItem)
};

#endif // MESSAGING0_CONFITEM_H
