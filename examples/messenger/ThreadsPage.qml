// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import Messaging 1.0

// The conversation list the application opens on: who, the last message
// and its time, the unread badge, a marker while the last message is
// sending or after it failed. The search field shows matching messages
// instead; a result opens its conversation around it.
Page {
    id: page
    // aroundMessageId is -1, or the search result to open on.
    signal openRequested(string accountPath, string remoteId, bool groupChat, string title, var aroundMessageId)
    signal accountsRequested()

    // For scripted runs.
    readonly property alias threads: threads
    readonly property alias search: search
    readonly property alias searchField: searchField

    function timeText(time) {
        if (!time || isNaN(time.getTime()))
            return ""
        var today = new Date()
        if (time.toDateString() === today.toDateString())
            return Qt.formatTime(time, "hh:mm")
        if (today - time < 6 * 86400000)
            return time.toLocaleDateString(Qt.locale(), "ddd")
        return time.toLocaleDateString(Qt.locale(), Locale.ShortFormat)
    }

    header: ToolBar {
        RowLayout {
            anchors.fill: parent
            Label {
                Layout.fillWidth: true
                leftPadding: 12
                text: threads.totalUnreadCount > 0 ? qsTr("Messages (%1)").arg(threads.totalUnreadCount) : qsTr("Messages")
                font.bold: true
                elide: Text.ElideRight
            }
            ToolButton {
                objectName: "accountsButton"
                text: qsTr("Accounts")
                onClicked: page.accountsRequested()
            }
        }
    }

    ThreadModel { id: threads }
    SearchModel { id: search; query: searchField.text }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        TextField {
            id: searchField
            objectName: "searchField"
            Layout.fillWidth: true
            Layout.margins: 8
            placeholderText: qsTr("Search messages")
            inputMethodHints: Qt.ImhNoPredictiveText
        }

        ListView {
            id: threadList
            objectName: "threadList"
            visible: searchField.text === ""
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            model: threads
            delegate: ItemDelegate {
                width: threadList.width
                height: 68
                onClicked: page.openRequested(accountPath, remoteIds[0], groupChat, title, -1)
                contentItem: RowLayout {
                    spacing: 10
                    ColumnLayout {
                        Layout.fillWidth: true
                        Layout.minimumWidth: 0
                        spacing: 2
                        Label {
                            Layout.fillWidth: true
                            text: title
                            font.bold: unreadCount > 0
                            elide: Text.ElideRight
                        }
                        Label {
                            Layout.fillWidth: true
                            elide: Text.ElideRight
                            color: lastState === HistoryMessage.Failed ? "#b3261e" : "#666666"
                            text: draft !== "" ? qsTr("Draft: %1").arg(draft)
                                : lastState === HistoryMessage.Failed ? qsTr("⚠ Not sent: %1").arg(lastText)
                                : lastState === HistoryMessage.Sending || lastState === HistoryMessage.Retrying ? qsTr("Sending… %1").arg(lastText)
                                : (lastIncoming ? "" : qsTr("You: ")) + lastText
                        }
                    }
                    ColumnLayout {
                        spacing: 4
                        Label {
                            Layout.alignment: Qt.AlignRight
                            text: page.timeText(lastTime)
                            font.pixelSize: 11
                            color: unreadCount > 0 ? "#1a73e8" : "#888888"
                        }
                        Rectangle {
                            Layout.alignment: Qt.AlignRight
                            visible: unreadCount > 0
                            implicitWidth: Math.max(20, badge.implicitWidth + 10)
                            implicitHeight: 20
                            radius: 10
                            color: "#1a73e8"
                            Label {
                                id: badge
                                objectName: "unreadBadge"
                                anchors.centerIn: parent
                                text: unreadCount
                                color: "white"
                                font.pixelSize: 11
                                font.bold: true
                            }
                        }
                    }
                }
            }
            Label {
                anchors.centerIn: parent
                visible: threadList.count === 0
                color: "#888888"
                text: qsTr("No conversations yet")
            }
        }

        ListView {
            id: resultList
            objectName: "searchResults"
            visible: searchField.text !== ""
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            model: search
            delegate: ItemDelegate {
                width: resultList.width
                height: 60
                onClicked: page.openRequested(accountPath, remoteId, groupChat, title, messageId)
                contentItem: ColumnLayout {
                    spacing: 2
                    RowLayout {
                        Label { Layout.fillWidth: true; text: title; font.bold: true; elide: Text.ElideRight }
                        Label { text: page.timeText(time); font.pixelSize: 11; color: "#888888" }
                    }
                    Label {
                        Layout.fillWidth: true
                        textFormat: Text.StyledText
                        text: snippet
                        elide: Text.ElideRight
                        color: "#444444"
                    }
                }
            }
            Label {
                anchors.centerIn: parent
                visible: resultList.count === 0
                color: "#888888"
                text: qsTr("No message found")
            }
        }
    }

    RoundButton {
        objectName: "newMessageButton"
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.margins: 16
        width: 56
        height: 56
        text: "+"
        font.pixelSize: 26
        highlighted: true
        onClicked: newMessage.openFor("")
    }

    NewMessageDialog {
        id: newMessage
        parent: Overlay.overlay
        onOpenRequested: page.openRequested(accountPath, remoteId, groupChat, "", -1)
    }
}
