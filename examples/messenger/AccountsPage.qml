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
    signal back()

    header: ToolBar {
        ToolButton { text: "‹"; font.pixelSize: 22; onClicked: page.back() }
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
                id: accountRow
                // Inside the ComboBox "model" is its own.
                readonly property bool accountEnabled: model.enabled
                width: accountList.width
                height: Math.max(86, implicitHeight)
                onClicked: openDialog.openFor(accountPath)
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
                    // Presence and the enabled switch stack on a narrow
                    // screen; a disabled account has no presence to choose.
                    GridLayout {
                        visible: !page.isCellular(accountPath)
                        columns: accountList.width < 400 ? 1 : 2
                        rowSpacing: 0
                        ComboBox {
                            model: page.presences
                            enabled: accountRow.accountEnabled
                            currentIndex: Math.max(0, page.presences.indexOf(presence))
                            onActivated: accounts.setPresence(accountPath, page.presences[index])
                            implicitWidth: accountList.width < 400 ? 108 : 136
                        }
                        Switch {
                            checked: model.enabled
                            onToggled: accounts.setEnabled(accountPath, checked)
                            Layout.alignment: Qt.AlignRight
                        }
                    }
                }
            }
        }
    }

    NewMessageDialog {
        id: openDialog
        parent: Overlay.overlay
        onOpenRequested: page.openRequested(accountPath, remoteId, groupChat)
    }
}
