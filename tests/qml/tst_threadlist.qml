// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

import QtQuick 2.15
import QtTest 1.2
import Messaging 1.0

// The conversation list while messages arrive: a message injected on the
// connection manager is stored (by the recorder or the library's handler)
// and its conversation's row comes to the top, unread; opening the
// conversation on screen reads it and the badge goes.
TestCase {
    id: testCase
    name: "ThreadList"

    readonly property string alice: "/org/freedesktop/Telepathy/Account/loopback/loop/alice0"

    ThreadModel { id: threads }
    // A filter set before the first page is read.
    ThreadModel { id: unreadThreads; unreadOnly: true }
    Component { id: conversation; Conversation {} }

    function rowOfSender(remoteId) {
        for (var i = 0; i < threads.count; ++i) {
            if (threads.get(i).remoteIds[0] === remoteId)
                return i
        }
        return -1
    }

    function test_incomingMessageTopsTheListUnreadUntilOpened() {
        var frank = "frank" + Date.now() + "@loop.test"
        var grace = "grace" + Date.now() + "@loop.test"
        // The total follows the store on the next event-loop turn.
        wait(100)
        var unreadBefore = threads.totalUnreadCount

        fixture.injectMessage(alice, frank, "Hello from Frank")
        tryVerify(() => rowOfSender(frank) === 0, 15000)
        compare(threads.get(0).unreadCount, 1)
        compare(threads.get(0).lastText, "Hello from Frank")
        compare(threads.get(0).lastIncoming, true)

        fixture.injectMessage(alice, grace, "Grace here")
        tryVerify(() => rowOfSender(grace) === 0 && rowOfSender(frank) === 1, 15000)
        tryCompare(threads, "totalUnreadCount", unreadBefore + 2, 5000)
        // On screen: read, and the badge goes.
        var c = createTemporaryObject(conversation, testCase,
                                      { accountPath: alice, remoteId: frank, active: true })
        tryVerify(() => threads.get(rowOfSender(frank)).unreadCount === 0, 10000)
        tryCompare(threads, "totalUnreadCount", unreadBefore + 1, 5000)
        compare(c.messages.count, 1)
        compare(c.messages.get(0).text, "Hello from Frank")

        // A second message on a conversation that exists: its row moves to
        // the top, unread when the conversation is not on screen.
        fixture.injectMessage(alice, grace, "Grace again")
        tryVerify(() => rowOfSender(grace) === 0 && threads.get(0).unreadCount === 2, 15000)
        fixture.injectMessage(alice, frank, "Frank again")
        tryVerify(() => rowOfSender(frank) === 0 && threads.get(0).lastText === "Frank again", 15000)
        tryCompare(c.messages, "count", 2, 5000)
        tryVerify(() => threads.get(0).unreadCount === 0, 5000)
        tryVerify(() => unreadThreads.count > 0 && unreadThreads.get(0).remoteIds[0] === grace, 5000)
    }
}
