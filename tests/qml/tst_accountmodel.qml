// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

import QtQml 2.15
import QtQuick 2.15
import QtTest 1.2
import Messaging 1.0

TestCase {
    id: testCase
    name: "AccountModel"

    readonly property string cellular: "/org/freedesktop/Telepathy/Account/tala/tel/tala"
    readonly property string mms: "/org/freedesktop/Telepathy/Account/vexo/mms/mms0"
    readonly property string alice: "/org/freedesktop/Telepathy/Account/loopback/loop/alice0"
    readonly property string bob: "/org/freedesktop/Telepathy/Account/loopback/loop/bob0"

    AccountModel { id: accounts }
    AccountSortModel { id: sorted }

    // Reads every row through the role names, as a list delegate does.
    Instantiator {
        id: rows
        model: accounts
        delegate: QtObject {
            property string path: accountPath
            property string accountName: name
            property string serviceName: service + serviceIcon
            property string presenceName: presence
            property string message: statusMessage
            property bool isEnabled: enabled
            property bool isUsable: usable
        }
    }

    // The SMS entry stands for the cellular and MMS accounts.
    function expectedAccounts() {
        return fixture.accounts().filter(a => a.path !== cellular && a.path !== mms)
    }

    function rowFor(path) {
        for (var i = 0; i < rows.count; ++i) {
            if (rows.objectAt(i).path === path)
                return rows.objectAt(i)
        }
        return null
    }

    function init() {
        fixture.reset()
        tryCompare(accounts, "count", expectedAccounts().length + 1, 10000)
    }

    function test_rowsAreTheAccountsWithTheirRoles() {
        compare(rows.count, accounts.count)
        var expected = expectedAccounts()
        for (var i = 0; i < expected.length; ++i) {
            var row = rowFor(expected[i].path)
            verify(row !== null, expected[i].path)
            compare(row.accountName, expected[i].name)
            compare(row.isEnabled, expected[i].enabled)
        }
        verify(rowFor(cellular) !== null, "the SMS entry")
        compare(rowFor(cellular).isEnabled, true)
    }

    function test_sortModelPutsSmsFirst() {
        tryCompare(sorted, "count", accounts.count, 5000)
        compare(sorted.get(0).accountPath, cellular)
    }

    function test_usableFollowsAccountAndDevice() {
        tryVerify(() => rowFor(alice).isUsable, 10000, "the connected account")
        verify(!rowFor(bob).isUsable, "the disabled account")
        tryVerify(() => rowFor(cellular).isUsable, 10000, "SMS with SIM and radio")
        fixture.setModemOnline(false)
        tryVerify(() => !rowFor(cellular).isUsable, 10000, "SMS with the radio off")
    }

    function test_writesGoToTheAccount() {
        accounts.setEnabled(bob, true)
        tryVerify(() => rowFor(bob).isEnabled, 10000)
        accounts.setEnabled(bob, false)
        tryVerify(() => !rowFor(bob).isEnabled, 10000)

        // Rows are looked up afresh: a layout change recreates the delegates.
        tryVerify(() => rowFor(alice).presenceName === "available", 10000)
        accounts.setPresence(alice, "away", "At lunch")
        tryVerify(() => rowFor(alice).presenceName === "away", 10000)
        tryVerify(() => rowFor(alice).message === "At lunch", 10000)
        accounts.setPresence(alice, "available", "")
        tryVerify(() => rowFor(alice).presenceName === "available", 10000)
    }
}
