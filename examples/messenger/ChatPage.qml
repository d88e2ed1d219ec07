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
    property string accountPath
    property string remoteId
    property bool groupChat
    // A stored message to open on (a search result); -1 for the newest.
    property var aroundMessageId: -1
    // Messages sent from this page go through the persistent send queue,
    // which tries them again after a passing failure (the window keeps the
    // choice for every conversation).
    property bool autoRetry: false
    // For scripted runs: the conversation and the text field.
    readonly property alias conversation: conversation
    readonly property alias draft: draftField

    signal back()

    // The conversation is requested once the check allows it: an account
    // the user set offline is brought online only when the user says so.
    property bool opened: false
    property bool askingToOpen: false
    Component.onCompleted: openCheck.run(false)
    SendCheck {
        id: openCheck
        accountPath: page.accountPath
        remoteId: page.remoteId
        onFinished: {
            if (code === SendCheck.AccountOffline) {
                page.askingToOpen = true
                banner.text = qsTr("This account is offline. Opening the conversation connects it.")
                if (question === "")
                    questionDialog.open()
            } else {
                page.opened = true
            }
        }
        onQuestionChanged: {
            if (question !== "")
                questionDialog.open()
        }
    }

    // The name the list shows for the conversation, when the caller knows it.
    property string chatTitle
    readonly property bool cellular: accountPath === "/org/freedesktop/Telepathy/Account/tala/tel/tala"
        || accountPath === "/org/freedesktop/Telepathy/Account/vexo/mms/mms0"

    // Sends what is typed once the check says it can leave.
    function sendDraft() {
        if (draftField.text === "" || check.running)
            return
        check.run(false)
    }

    Conversation {
        id: conversation
        accountPath: page.opened ? page.accountPath : ""
        remoteId: page.opened ? page.remoteId : ""
        groupChat: page.groupChat
        queued: page.autoRetry
        aroundMessageId: page.aroundMessageId
        // On screen: its incoming messages are read, and notified nowhere.
        active: page.StackView.status === StackView.Active
        // The stored draft comes into the field once, when the history is read.
        onDraftChanged: if (draft !== "" && draftField.text === "") draftField.text = draft
    }
    // The draft goes into the store a moment after typing stops, and when
    // the page goes.
    Timer { id: draftSave; interval: 800; onTriggered: conversation.draft = draftField.text }
    Component.onDestruction: conversation.draft = draftField.text

    SendCheck {
        id: check
        accountPath: conversation.accountPath
        remoteId: conversation.remoteId
        onFinished: {
            if (canSend) {
                conversation.send(draftField.text)
                draftField.text = ""
                conversation.draft = ""
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

    SmsCounter { id: counter; text: draftField.text }

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

    function dayText(day) {
        var date = new Date(day + "T00:00:00")
        var today = new Date()
        today.setHours(0, 0, 0, 0)
        var days = Math.round((today - date) / 86400000)
        if (days === 0)
            return qsTr("Today")
        if (days === 1)
            return qsTr("Yesterday")
        return date.toLocaleDateString(Qt.locale(), days < 7 ? "dddd" : Locale.ShortFormat)
    }

    header: ToolBar {
        RowLayout {
            anchors.fill: parent
            spacing: 0
            ToolButton { text: "‹"; font.pixelSize: 22; onClicked: page.back() }
            ColumnLayout {
                Layout.fillWidth: true
                Layout.minimumWidth: 0
                spacing: 0
                Label {
                    text: page.chatTitle !== "" ? page.chatTitle : page.remoteId
                    font.bold: true
                    elide: Text.ElideRight
                    Layout.fillWidth: true
                }
                Label {
                    font.pixelSize: 11
                    elide: Text.ElideRight
                    Layout.fillWidth: true
                    text: !page.opened ? (page.askingToOpen ? qsTr("offline") : qsTr("checking…"))
                        : conversation.state === Conversation.Requesting ? qsTr("opening…")
                        : conversation.state === Conversation.Ready ? (page.groupChat ? qsTr("%n member(s)", "", conversation.members.length) : qsTr("ready"))
                        : conversation.state === Conversation.Failed ? qsTr("failed: %1").arg(conversation.errorText)
                        : conversation.state === Conversation.Left ? qsTr("you left this room")
                        : qsTr("idle")
                }
            }
            // The rarely used choices, in a menu so that nothing is cut off
            // on a narrow screen.
            ToolButton {
                text: "⋮"
                font.pixelSize: 20
                onClicked: pageMenu.open()
                Menu {
                    id: pageMenu
                    y: parent.height
                    MenuItem {
                        text: qsTr("Retry automatically")
                        checkable: true
                        checked: page.autoRetry
                        onToggled: page.autoRetry = checked
                    }
                    MenuItem {
                        enabled: false
                        text: qsTr("When on, messages sent from now on are tried again after a network failure")
                        font.pixelSize: 10
                        contentItem: Label { text: parent.text; wrapMode: Text.Wrap; font: parent.font; color: "#666666" }
                    }
                    MenuItem {
                        visible: page.groupChat
                        height: visible ? implicitHeight : 0
                        enabled: conversation.state === Conversation.Ready
                        text: qsTr("Leave the room")
                        onTriggered: conversation.leave("")
                    }
                }
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
            // New rows at the bottom follow the newest; older ones loaded at
            // the top keep the view where it was.
            property bool atEnd: true
            onMovementEnded: atEnd = atYEnd
            onCountChanged: if (atEnd) Qt.callLater(positionViewAtEnd)
            // Scrolled to the top: the next older page.
            onAtYBeginningChanged: {
                if (atYBeginning && moving && conversation.messages.canFetchOlder) {
                    var before = count
                    conversation.messages.fetchOlder()
                    positionViewAtIndex(count - before, ListView.Beginning)
                }
            }
            section.property: "day"
            section.delegate: Label {
                width: messageList.width
                horizontalAlignment: Text.AlignHCenter
                topPadding: 6
                bottomPadding: 2
                font.pixelSize: 11
                color: "#777777"
                text: page.dayText(section)
            }
            delegate: Item {
                width: messageList.width
                height: bubble.height + (resendButton.visible ? resendButton.height : 0)
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
                // A message that failed for good is sent again from its row.
                Button {
                    id: resendButton
                    visible: !incoming && model.state === MessageModel.Failed
                    anchors.top: bubble.bottom
                    anchors.right: parent.right
                    anchors.rightMargin: 10
                    flat: true
                    font.pixelSize: 11
                    text: qsTr("Send again")
                    onClicked: conversation.resend(messageId)
                }
            }
        }

        Button {
            visible: page.askingToOpen && !questionDialog.visible
            Layout.alignment: Qt.AlignHCenter
            text: qsTr("Go online and open")
            onClicked: {
                page.askingToOpen = false
                banner.text = ""
                page.opened = true
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
                    // Grows with the text up to five lines, then scrolls;
                    // Return sends, Shift+Return starts a new line.
                    ScrollView {
                        Layout.fillWidth: true
                        Layout.preferredHeight: Math.min(draftField.implicitHeight, draftField.font.pixelSize * 8 + draftField.topPadding + draftField.bottomPadding)
                        TextArea {
                            id: draftField
                            objectName: "draft"
                            onTextChanged: draftSave.restart()
                            wrapMode: TextEdit.Wrap
                            placeholderText: page.cellular ? qsTr("Text message") : qsTr("Message")
                            Keys.onReturnPressed: (event) => {
                                if (event.modifiers & Qt.ShiftModifier) {
                                    event.accepted = false
                                } else {
                                    page.sendDraft()
                                }
                            }
                            Keys.onEnterPressed: page.sendDraft()
                        }
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
                    enabled: draftField.text !== "" && conversation.state !== Conversation.Idle
                        && conversation.state !== Conversation.Left && !check.running
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
        width: Math.min(page.width - 20, 380)
        modal: true
        title: asking.questionTitle !== "" ? asking.questionTitle
            : page.askingToOpen ? qsTr("Go online?") : qsTr("Before sending")
        standardButtons: Dialog.Yes | Dialog.No
        readonly property var asking: openCheck.question !== "" ? openCheck : check
        Label { text: questionDialog.asking.question !== "" ? questionDialog.asking.question : banner.text; wrapMode: Text.Wrap; width: parent.width }
        onAccepted: {
            if (page.askingToOpen) {
                openCheck.answer(true)
                page.askingToOpen = false
                banner.text = ""
                page.opened = true
            } else {
                check.answer(true)
            }
        }
        onRejected: questionDialog.asking.answer(false)
    }
}
