// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import Messaging 1.0

// The accounts with presence and enabled switches, the device state, and
// the way into a conversation.
Page {
    id: page
    signal openRequested(string accountPath, string remoteId, bool groupChat)

    header: ToolBar {
        Label {
            anchors.centerIn: parent
            text: qsTr("Accounts")
            font.bold: true
        }
    }

    readonly property var presences: ["available", "away", "offline"]

    // The SMS entry stands for the cellular SMS and MMS accounts.
    function isCellular(path) {
        return path === "/org/freedesktop/Telepathy/Account/tala/tel/tala"
            || path === "/org/freedesktop/Telepathy/Account/vexo/mms/mms0"
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        // The device state behind every SMS.
        Frame {
            Layout.fillWidth: true
            RowLayout {
                anchors.fill: parent
                Label { text: NetworkStatus.radioOn ? qsTr("Network on") : qsTr("Network off") }
                Label { text: "·" }
                Label {
                    text: NetworkStatus.simStatus === NetworkStatus.SimReady ? qsTr("SIM ready")
                        : NetworkStatus.simStatus === NetworkStatus.SimNotAvailable ? qsTr("No SIM card")
                        : NetworkStatus.simStatus === NetworkStatus.SimUnknown ? qsTr("SIM …")
                        : qsTr("SIM locked")
                }
                Label { text: "·" }
                Label { text: NetworkStatus.flightMode ? qsTr("Flight mode") : qsTr("Normal mode") }
                Item { Layout.fillWidth: true }
            }
        }

        ListView {
            id: accountList
            objectName: "accountList"
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            model: AccountSortModel { id: accounts }
            delegate: ItemDelegate {
                width: accountList.width
                height: 86
                onClicked: {
                    openDialog.accountPath = accountPath
                    openDialog.cellular = page.isCellular(accountPath)
                    openDialog.open()
                }
                contentItem: RowLayout {
                    spacing: 10
                    Rectangle {
                        width: 14; height: 14; radius: 7
                        color: !model.enabled ? "#bbbbbb" : usable ? "#2e9d4a" : "#d98c1f"
                    }
                    ColumnLayout {
                        Layout.fillWidth: true
                        spacing: 2
                        Label {
                            text: name !== "" ? name : qsTr("SMS and MMS")
                            font.bold: true
                            elide: Text.ElideRight
                            Layout.fillWidth: true
                        }
                        Label {
                            text: (page.isCellular(accountPath) ? qsTr("Text and picture messages") : service)
                                + (statusMessage !== "" ? " — " + statusMessage : "")
                            color: "#666666"
                            elide: Text.ElideRight
                            Layout.fillWidth: true
                        }
                        Label {
                            text: usable ? qsTr("can send now") : qsTr("cannot send now")
                            font.pixelSize: 11
                            color: "#888888"
                        }
                    }
                    ComboBox {
                        visible: !page.isCellular(accountPath)
                        model: page.presences
                        currentIndex: Math.max(0, page.presences.indexOf(presence))
                        onActivated: accounts.setPresence(accountPath, page.presences[index])
                        implicitWidth: 136
                    }
                    Switch {
                        visible: !page.isCellular(accountPath)
                        checked: model.enabled
                        onToggled: accounts.setEnabled(accountPath, checked)
                    }
                }
            }
        }
    }

    Dialog {
        id: openDialog
        property string accountPath
        property bool cellular
        title: qsTr("New conversation")
        standardButtons: Dialog.Ok | Dialog.Cancel
        anchors.centerIn: parent
        modal: true
        ColumnLayout {
            anchors.fill: parent
            TextField {
                id: recipient
                Layout.fillWidth: true
                placeholderText: openDialog.cellular ? qsTr("Phone number") : qsTr("Contact or room")
            }
            CheckBox {
                id: room
                visible: !openDialog.cellular
                text: qsTr("Chat room")
            }
        }
        onAccepted: {
            if (recipient.text !== "")
                page.openRequested(accountPath, recipient.text, room.checked && !cellular)
        }
    }
}
