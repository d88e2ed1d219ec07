// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import Messaging 1.0

// A new conversation: an account (preset when opened from the account
// list) and a recipient, a number or an id. Each opening starts empty with
// the keyboard in the recipient field; Return opens the conversation.
Dialog {
    id: dialog
    property string accountPath
    signal openRequested(string accountPath, string remoteId, bool groupChat)

    readonly property bool cellular: accountPath === "/org/freedesktop/Telepathy/Account/tala/tel/tala"
        || accountPath === "/org/freedesktop/Telepathy/Account/vexo/mms/mms0"

    title: qsTr("New message")
    standardButtons: Dialog.Ok | Dialog.Cancel
    modal: true
    width: Math.min(parent ? parent.width - 20 : 360, 380)
    anchors.centerIn: parent

    function openFor(account) {
        accountPath = account || ""
        open()
    }

    onAboutToShow: {
        recipient.text = ""
        room.checked = false
        if (accountPath === "" && accounts.count > 0)
            accountPath = accounts.get(0).accountPath
        accountBox.currentIndex = Math.max(0, accounts.rowOf(accountPath))
    }
    onOpened: recipient.forceActiveFocus()
    onAccepted: {
        if (recipient.text.trim() !== "")
            openRequested(accountPath, recipient.text.trim(), room.checked && !cellular)
    }

    AccountSortModel { id: accounts }

    ColumnLayout {
        anchors.fill: parent
        ComboBox {
            id: accountBox
            objectName: "newMessageAccount"
            Layout.fillWidth: true
            model: accounts
            textRole: "name"
            displayText: currentIndex < 0 ? "" : (accounts.get(currentIndex).name || qsTr("SMS and MMS"))
            delegate: ItemDelegate {
                width: accountBox.width
                text: model.name !== "" ? model.name : qsTr("SMS and MMS")
            }
            onActivated: {
                dialog.accountPath = accounts.get(index).accountPath
                // Another account, another kind of recipient.
                recipient.text = ""
                recipient.forceActiveFocus()
            }
        }
        TextField {
            id: recipient
            objectName: "newMessageRecipient"
            Layout.fillWidth: true
            placeholderText: dialog.cellular ? qsTr("Phone number") : qsTr("Contact or room")
            inputMethodHints: dialog.cellular ? Qt.ImhDialableCharactersOnly : Qt.ImhNoAutoUppercase
            onAccepted: dialog.accept()
        }
        CheckBox {
            id: room
            visible: !dialog.cellular
            text: qsTr("Chat room")
        }
    }
}
