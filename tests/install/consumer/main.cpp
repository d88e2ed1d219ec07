// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// A program outside the project, built against the installed library.
#include <messaging0/chatcontext.h>

#include <cstdio>

int main()
{
    const ChatContext sms(QStringLiteral("+358401234567"),
                          QStringLiteral("/org/freedesktop/Telepathy/Account/tala/tel/tala"));
    const ChatContext mms(QStringLiteral("+358401234567"),
                          QStringLiteral("/org/freedesktop/Telepathy/Account/vexo/mms/mms0"));
    const bool ok = sms.isCellular() && sms == mms;
    std::puts(ok ? "consumer ok" : "consumer FAILED");
    return ok ? 0 : 1;
}
