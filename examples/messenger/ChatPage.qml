// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import Messaging 1.0

// One conversation: its messages with their states as they change, the SMS
// counter on cellular accounts, the check before every send with its
// question and remedy; for a room, the topic and the members.
Page {
    id: page
    property alias accountPath: conversation.accountPath
    property alias remoteId: conversation.remoteId
    property alias groupChat: conversation.groupChat
    // For scripted runs: the conversation and the text field.
    readonly property alias conversation: conversation
    readonly property alias draft: draft

    signal back()

    readonly property bool cellular: accountPath === "/org/freedesktop/Telepathy/Account/tala/tel/tala"
        || accountPath === "/org/freedesktop/Telepathy/Account/vexo/mms/mms0"

    // Sends what is typed once the check says it can leave.
    function sendDraft() {
        if (draft.text === "" || check.running)
            return
        check.run(false)
    }

    Conversation { id: conversation }

    SendCheck {
        id: check
        accountPath: conversation.accountPath
        remoteId: conversation.remoteId
        onFinished: {
            if (canSend) {
                conversation.send(draft.text)
                draft.text = ""
                banner.text = ""
            } else {
                banner.text = reason
            }
        }
        onQuestionChanged: {
            if (question !== "")
                questionDialog.open()
        }
    }

    SmsCounter { id: counter; text: draft.text }

    function stateText(state, reason) {
        switch (state) {
        case MessageModel.Sending: return qsTr("sending")
        case MessageModel.Sent: return qsTr("sent")
        case MessageModel.Delivered: return qsTr("delivered")
        case MessageModel.Failed: return qsTr("failed: %1").arg(reason)
        case MessageModel.Retrying: return qsTr("retrying: %1").arg(reason)
        }
        return ""
    }

    header: ToolBar {
        RowLayout {
            anchors.fill: parent
            ToolButton { text: "‹"; font.pixelSize: 22; onClicked: page.back() }
            ColumnLayout {
                Layout.fillWidth: true
                spacing: 0
                Label { text: page.remoteId; font.bold: true; elide: Text.ElideRight; Layout.fillWidth: true }
                Label {
                    font.pixelSize: 11
                    text: conversation.state === Conversation.Requesting ? qsTr("opening…")
                        : conversation.state === Conversation.Ready ? (page.groupChat ? qsTr("%n member(s)", "", conversation.members.length) : qsTr("ready"))
                        : conversation.state === Conversation.Failed ? qsTr("failed: %1").arg(conversation.errorText)
                        : qsTr("idle")
                }
            }
            // Through the persistent send queue, which retries a message
            // after a passing failure (its row shows "retrying").
            Switch {
                text: qsTr("Retry")
                checked: conversation.queued
                onToggled: conversation.queued = checked
            }
            ToolButton {
                visible: page.groupChat
                text: qsTr("Leave")
                onClicked: conversation.leave("")
            }
        }
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        // The room's topic and members.
        Frame {
            visible: page.groupChat
            Layout.fillWidth: true
            ColumnLayout {
                anchors.fill: parent
                RowLayout {
                    Layout.fillWidth: true
                    TextField {
                        id: topicField
                        Layout.fillWidth: true
                        placeholderText: qsTr("Topic")
                        text: conversation.topic
                        enabled: conversation.canSetTopic
                        onAccepted: conversation.setTopic(text)
                    }
                    Button {
                        text: qsTr("Set")
                        enabled: conversation.canSetTopic
                        onClicked: conversation.setTopic(topicField.text)
                    }
                }
                Label {
                    Layout.fillWidth: true
                    wrapMode: Text.Wrap
                    color: "#666666"
                    text: qsTr("Members: %1").arg(conversation.members.join(", "))
                }
            }
        }

        ListView {
            id: messageList
            objectName: "messageList"
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            spacing: 6
            topMargin: 8
            bottomMargin: 8
            model: conversation.messages
            onCountChanged: positionViewAtEnd()
            delegate: Item {
                width: messageList.width
                height: bubble.height
                Rectangle {
                    id: bubble
                    anchors.right: incoming ? undefined : parent.right
                    anchors.left: incoming ? parent.left : undefined
                    anchors.margins: 10
                    width: Math.min(messageList.width * 0.75, Math.max(body.implicitWidth, meta.implicitWidth) + 20)
                    height: body.implicitHeight + meta.implicitHeight + 16
                    radius: 10
                    color: incoming ? "#e9e9eb"
                        : model.state === MessageModel.Failed ? "#f6d3d3"
                        : model.state === MessageModel.Retrying ? "#f8e7c4" : "#d3e6f8"
                    Label {
                        id: body
                        x: 10; y: 6
                        width: Math.min(implicitWidth, messageList.width * 0.75 - 20)
                        wrapMode: Text.Wrap
                        text: (incoming && page.groupChat ? sender + ": " : "") + model.text
                    }
                    Label {
                        id: meta
                        anchors.top: body.bottom
                        x: 10
                        width: Math.min(implicitWidth, messageList.width * 0.75 - 20)
                        wrapMode: Text.Wrap
                        font.pixelSize: 10
                        color: "#555555"
                        text: Qt.formatTime(timestamp, "hh:mm")
                            + (incoming ? "" : " · " + page.stateText(model.state, failureReason))
                    }
                }
            }
        }

        // Why the last message could not leave.
        Label {
            id: banner
            visible: text !== ""
            Layout.fillWidth: true
            padding: 8
            wrapMode: Text.Wrap
            color: "#8a1c1c"
            background: Rectangle { color: "#fbeaea" }
        }

        Pane {
            Layout.fillWidth: true
            RowLayout {
                anchors.fill: parent
                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: 0
                    TextField {
                        id: draft
                        objectName: "draft"
                        Layout.fillWidth: true
                        placeholderText: page.cellular ? qsTr("Text message") : qsTr("Message")
                        onAccepted: page.sendDraft()
                    }
                    Label {
                        visible: page.cellular
                        font.pixelSize: 10
                        color: "#666666"
                        text: qsTr("%1 left · %2 message(s) · %3").arg(counter.remaining)
                            .arg(Math.max(1, counter.segments)).arg(counter.encoding === "gsm7" ? "GSM" : "Unicode")
                    }
                }
                Button {
                    text: qsTr("Send")
                    enabled: draft.text !== "" && conversation.state !== Conversation.Idle && !check.running
                    onClicked: page.sendDraft()
                }
            }
        }
    }

    // The check's question and its remedy (switch the network on, leave
    // flight mode, go online).
    Dialog {
        id: questionDialog
        anchors.centerIn: parent
        modal: true
        title: check.questionTitle !== "" ? check.questionTitle : qsTr("Before sending")
        standardButtons: Dialog.Yes | Dialog.No
        Label { text: check.question; wrapMode: Text.Wrap; width: parent.width }
        onAccepted: check.answer(true)
        onRejected: check.answer(false)
    }
}
