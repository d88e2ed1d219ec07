// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

import QtQuick 2.15
import QtTest 1.2
import Messaging 1.0

TestCase {
    name: "SendCheck"

    SendCheck {
        id: check
        accountPath: "/org/freedesktop/Telepathy/Account/tala/tel/tala"
        remoteId: "+358401234567"
    }
    SignalSpy { id: finished; target: check; signalName: "finished" }

    function init() {
        fixture.reset()
        finished.clear()
        tryCompare(NetworkStatus, "simStatus", NetworkStatus.SimReady, 10000)
        tryCompare(NetworkStatus, "radioOn", true, 10000)
    }

    function test_withoutSimCardCannotSend() {
        fixture.setSimPresent(false)
        tryCompare(NetworkStatus, "simStatus", NetworkStatus.SimNotAvailable, 10000)
        check.run(false)
        finished.wait(10000)
        compare(finished.signalArguments[0][0], false)
        compare(finished.signalArguments[0][1], SendCheck.NoSimCard)
        compare(finished.signalArguments[0][2], fixture.checkText(SendCheck.NoSimCard))
    }

    function test_radioOffAsksAndSwitchesItOn() {
        fixture.setModemOnline(false)
        tryCompare(NetworkStatus, "radioOn", false, 10000)
        check.run(false)
        tryVerify(() => check.question !== "", 10000)
        check.answer(true)
        finished.wait(10000)
        compare(finished.signalArguments[0][0], true)
        compare(finished.signalArguments[0][1], SendCheck.CanSend)
        compare(NetworkStatus.radioOn, true)
    }

    function test_declinedQuestionCannotSend() {
        fixture.setModemOnline(false)
        tryCompare(NetworkStatus, "radioOn", false, 10000)
        check.run(false)
        tryVerify(() => check.question !== "", 10000)
        check.answer(false)
        finished.wait(10000)
        compare(finished.signalArguments[0][1], SendCheck.UserDeclined)
        compare(check.question, "")
    }
}
