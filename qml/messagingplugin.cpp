// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// The QML module "Messaging 1.0": a thin layer over the library's public
// API for user interfaces written in QML.

#include "accountlistmodel.h"
#include "conversation.h"
#include "messagemodel.h"
#include "networkstatus.h"
#include "searchmodel.h"
#include "sendcheck.h"
#include "smscounter.h"
#include "threadmodel.h"

#include <messaging0/historymessage.h>

#include <QQmlEngine>
#include <QQmlExtensionPlugin>

class MessagingPlugin : public QQmlExtensionPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QQmlExtensionInterface_iid)
public:
    void registerTypes(const char *uri) override
    {
        Q_ASSERT(QLatin1String(uri) == QLatin1String("Messaging"));
        qmlRegisterType<QmlAccountModel>(uri, 1, 0, "AccountModel");
        qmlRegisterType<QmlAccountSortModel>(uri, 1, 0, "AccountSortModel");
        qmlRegisterType<QmlConversation>(uri, 1, 0, "Conversation");
        qmlRegisterUncreatableType<QmlMessageModel>(uri, 1, 0, "MessageModel",
                                                    QStringLiteral("A Conversation's messages"));
        qmlRegisterType<QmlThreadModel>(uri, 1, 0, "ThreadModel");
        qmlRegisterType<QmlSearchModel>(uri, 1, 0, "SearchModel");
        // The states of the thread list's lastState (HistoryMessage.Sending, …).
        qmlRegisterUncreatableMetaObject(HistoryMessage::staticMetaObject, uri, 1, 0, "HistoryMessage",
                                         QStringLiteral("A stored message's enumerations"));
        qmlRegisterType<QmlSendCheck>(uri, 1, 0, "SendCheck");
        qmlRegisterType<QmlSmsCounter>(uri, 1, 0, "SmsCounter");
        qmlRegisterSingletonType<QmlNetworkStatus>(uri, 1, 0, "NetworkStatus",
                                                   [](QQmlEngine *, QJSEngine *) -> QObject * {
                                                       // The engine owns it.
                                                       return new QmlNetworkStatus;
                                                   });
        QmlSendCheck::routeQuestions();
    }
};

#include "messagingplugin.moc"
