<?xml version="1.0" encoding="utf-8"?>
<!-- SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
     SPDX-License-Identifier: LGPL-2.1-or-later -->
<!DOCTYPE TS>
<!-- A partial user-language catalogue for the tests: a few ids only, so
     the others must come from the engineering English. -->
<TS version="2.1" language="fi_FI">
<context>
    <name></name>
    <message id="lxr_msg_error_sms_sending_failed">
        <source>Sending message to %1 failed</source>
        <translation>Viestin lähetys vastaanottajalle %1 epäonnistui</translation>
    </message>
    <message id="lxr_msg_error_not_sent">
        <source>The message could not be sent.</source>
        <translation>Viestiä ei voitu lähettää.</translation>
    </message>
</context>
</TS>
