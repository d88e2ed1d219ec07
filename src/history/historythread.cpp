// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "historydata_p.h"

HistoryThread::HistoryThread()
    : d(new HistoryThreadData)
{
}

HistoryThread::HistoryThread(const HistoryThread &other) = default;
HistoryThread &HistoryThread::operator=(const HistoryThread &other) = default;
HistoryThread::~HistoryThread() = default;

bool HistoryThread::isValid() const { return d->id >= 0; }
qint64 HistoryThread::id() const { return d->id; }
QString HistoryThread::accountPath() const { return d->accountPath; }
QStringList HistoryThread::remoteIds() const { return d->remoteIds; }
ChatType HistoryThread::chatType() const { return d->chatType; }
bool HistoryThread::isGroupChat() const { return d->chatType != OneToOneChat; }
qint64 HistoryThread::lastMessageId() const { return d->lastMessageId; }
QString HistoryThread::lastText() const { return d->lastText; }
QDateTime HistoryThread::lastTime() const { return d->lastTime; }
bool HistoryThread::lastIncoming() const { return d->lastIncoming; }
HistoryMessage::State HistoryThread::lastState() const { return d->lastState; }
int HistoryThread::unreadCount() const { return d->unreadCount; }
QString HistoryThread::draft() const { return d->draft; }
QString HistoryThread::topic() const { return d->topic; }

QString HistoryThread::title() const
{
    return d->topic.isEmpty() ? d->remoteIds.join(QStringLiteral(", ")) : d->topic;
}
