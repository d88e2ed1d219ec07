// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

import QtQuick 2.15
import QtTest 1.2
import Messaging 1.0

TestCase {
    id: testCase
    name: "Conversation"

    readonly property string alice: "/org/freedesktop/Telepathy/Account/loopback/loop/alice0"

    Component { id: conversation; Conversation {} }

    function open(accountPath, remoteId) {
        return createTemporaryObject(conversation, testCase, { accountPath: accountPath, remoteId: remoteId })
    }

    function ready(remoteId) {
        var c = open(alice, remoteId)
        tryCompare(c, "state", Conversation.Ready, 10000)
        return c
    }

    function init() {
        fixture.reset()
    }

    function test_requestsThenBecomesReady() {
        var c = open(alice, "carol@loop.test")
        compare(c.state, Conversation.Requesting)
        tryCompare(c, "state", Conversation.Ready, 10000)
        compare(c.errorText, "")
    }

    function test_idleWithoutRecipient() {
        var c = open(alice, "")
        compare(c.state, Conversation.Idle)
        compare(c.send("nobody"), "")
    }

    function test_unknownAccountFails() {
        var c = open("/org/freedesktop/Telepathy/Account/loopback/loop/nobody0", "carol@loop.test")
        tryCompare(c, "state", Conversation.Failed, 10000)
        verify(c.errorText !== "")
    }

    function test_sentMessageGoesSendingSentDelivered() {
        var c = ready("dave@loop.test")
        var id = c.send("Hello Dave")
        verify(id !== "")
        compare(c.messages.count, 1)
        var row = c.messages.get(0)
        compare(row.messageId, id)
        compare(row.incoming, false)
        compare(row.text, "Hello Dave")
        compare(row.state, MessageModel.Sending)
        tryVerify(() => c.messages.get(0).state === MessageModel.Sent, 10000)
        compare(fixture.sentTexts(alice).slice(-1)[0], "Hello Dave")
        fixture.deliverLastSent(alice)
        tryVerify(() => c.messages.get(0).state === MessageModel.Delivered, 10000)
    }

    // The library's text for the status, not the server's English.
    function test_failureShowsTheLibraryText() {
        var c = ready("erin@loop.test")
        fixture.failNextSend(alice, "org.freedesktop.Telepathy.Error.NetworkError", "The server went away")
        c.send("Lost")
        tryVerify(() => c.messages.get(0).state === MessageModel.Failed, 10000)
        compare(c.messages.get(0).failureReason, fixture.statusText(15))
    }

    function test_incomingMessageIsAppended() {
        var c = ready("frank@loop.test")
        fixture.injectMessage(alice, "frank@loop.test", "Hi there")
        tryCompare(c.messages, "count", 1, 10000)
        var row = c.messages.get(0)
        compare(row.incoming, true)
        compare(row.text, "Hi there")
        verify(row.sender.indexOf("frank") >= 0, row.sender)
    }

    function test_roomHasMembersAndTopic() {
        var c = createTemporaryObject(conversation, testCase,
                                      { accountPath: alice, remoteId: "#kitchen", groupChat: true })
        tryCompare(c, "state", Conversation.Ready, 10000)
        tryVerify(() => c.members.length > 0, 10000)
        tryVerify(() => c.canSetTopic, 10000)
        c.setTopic("Lunch at noon")
        tryCompare(c, "topic", "Lunch at noon", 10000)
        // The queue would send it one-to-one to "#kitchen": refused.
        c.queued = true
        var rows = c.messages.count
        compare(c.send("Not for the queue"), "")
        compare(c.messages.count, rows)
    }

    function test_queuedMessageRetriesAfterPassingFailure() {
        var c = ready("gina@loop.test")
        c.queued = true
        var states = []
        var reasons = []
        c.messages.dataChanged.connect(function() {
            states.push(c.messages.get(0).state)
            reasons.push(c.messages.get(0).failureReason)
        })
        fixture.failNextSend(alice, "org.freedesktop.Telepathy.Error.NetworkError", "The line dropped")
        c.send("Again")
        tryVerify(() => c.messages.get(0).state === MessageModel.Sent, 20000,
                  JSON.stringify(states) + " rows " + c.messages.count + " " + JSON.stringify(c.messages.get(c.messages.count - 1)))
        verify(states.indexOf(MessageModel.Retrying) >= 0, JSON.stringify(states))
        // The same text as when sent directly.
        compare(reasons[states.indexOf(MessageModel.Retrying)], fixture.statusText(15))
        verify(c.messages.get(0).failureReason === "")
    }
}
