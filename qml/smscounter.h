// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING_QML_SMSCOUNTER_H
#define MESSAGING_QML_SMSCOUNTER_H

#include <messaging0/smssegmentcounter.h>

#include <QObject>

// What the text being typed costs as SMS (SmsSegmentCounter): "gsm7" or
// "ucs2", the number of messages, and the room left in the last one.
class QmlSmsCounter : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY textChanged)
    Q_PROPERTY(QString encoding READ encoding NOTIFY countsChanged)
    Q_PROPERTY(int segments READ segments NOTIFY countsChanged)
    Q_PROPERTY(int remaining READ remaining NOTIFY countsChanged)
    Q_PROPERTY(int units READ units NOTIFY countsChanged)
public:
    explicit QmlSmsCounter(QObject *parent = nullptr) : QObject(parent) {}

    QString text() const { return m_counter.text(); }
    void setText(const QString &text);
    QString encoding() const;
    int segments() const { return m_counter.segments(); }
    int remaining() const { return m_counter.remaining(); }
    int units() const { return m_counter.units(); }

Q_SIGNALS:
    void textChanged();
    void countsChanged();

private:
    SmsSegmentCounter m_counter;
};

#endif // MESSAGING_QML_SMSCOUNTER_H
