// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// The reference messaging UI: what a phone's messaging application looks
// like on top of the Messaging module. Qt Quick Controls 2 only. It opens
// on the conversation list; the accounts are one tap away.
//
//   qmlscene -I <build>/qml examples/messenger/main.qml
//   ./scripts/demo --ui          (with the demo's private stack)
import QtQuick 2.15
import QtQuick.Controls 2.15
import Messaging 1.0

ApplicationWindow {
    id: window
    width: 420
    height: 680
    visible: true
    title: qsTr("Messenger")

    // The page on top, for scripted runs (the screenshots).
    readonly property var currentPage: stack.currentItem

    // "Retry automatically", chosen on any chat page, holds for all of them.
    property bool autoRetry: false

    // Opens the conversation with remoteId on the account (a room when
    // groupChat); around a stored message when aroundMessageId is one.
    function openConversation(accountPath, remoteId, groupChat, title, aroundMessageId) {
        stack.push(chatPage, { accountPath: accountPath, remoteId: remoteId,
                               groupChat: !!groupChat, autoRetry: window.autoRetry,
                               chatTitle: title || "",
                               aroundMessageId: aroundMessageId === undefined ? -1 : aroundMessageId })
    }

    StackView {
        id: stack
        anchors.fill: parent
        initialItem: ThreadsPage {
            onOpenRequested: window.openConversation(accountPath, remoteId, groupChat, title, aroundMessageId)
            onAccountsRequested: stack.push(accountsPage)
        }
    }

    Component {
        id: accountsPage
        AccountsPage {
            onBack: stack.pop()
            onOpenRequested: window.openConversation(accountPath, remoteId, groupChat)
        }
    }

    Component {
        id: chatPage
        ChatPage {
            onBack: stack.pop()
            onAutoRetryChanged: window.autoRetry = autoRetry
        }
    }
}
