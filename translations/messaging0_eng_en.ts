<?xml version="1.0" encoding="utf-8"?>
<!-- SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
     SPDX-License-Identifier: LGPL-2.1-or-later -->
<!DOCTYPE TS>
<!-- Engineering English: what the user sees when no catalogue for their
     language is installed. Every logical id the library passes to qtTrId
     is listed here. -->
<TS version="2.1" language="en">
<context>
    <name></name>
    <message id="lxr_msg_error_sms_sending_failed">
        <source>Sending message to %1 failed</source>
        <extracomment>Notification body when a message could not be sent; %1 is the recipient.</extracomment>
        <translation>Sending message to %1 failed</translation>
    </message>
    <message id="lxr_msg_incoming_unread_count">
        <source>%1 unread messages</source>
        <extracomment>Second line of an incoming-message notification once a conversation has more than one unread message; %1 is the count.</extracomment>
        <translation>%1 unread messages</translation>
    </message>
    <message id="lxr_msg_no_sim_card">
        <source>No SIM card</source>
        <extracomment>Notification body when a cellular message cannot be sent without a SIM card.</extracomment>
        <translation>No SIM card</translation>
    </message>
    <message id="lxr_offl_exiting_title">
        <source>Exit offline mode?</source>
        <extracomment>Title of the question whether to leave flight mode before sending.</extracomment>
        <translation>Exit offline mode?</translation>
    </message>
    <message id="lxr_offl_exiting">
        <source>Sending requires leaving offline mode. Exit offline mode?</source>
        <extracomment>Text of the question whether to leave flight mode before sending.</extracomment>
        <translation>Sending requires leaving offline mode. Exit offline mode?</translation>
    </message>
    <message id="lxr_msg_switch_phone_network_on">
        <source>Phone network is off. Switch it on?</source>
        <extracomment>Question whether to power the cellular radio on before sending.</extracomment>
        <translation>Phone network is off. Switch it on?</translation>
    </message>
    <message id="lxr_msg_you_are_offline">
        <source>You are offline</source>
        <extracomment>Title of the question shown when the account to send on is offline.</extracomment>
        <translation>You are offline</translation>
    </message>
    <message id="lxr_msg_error_send_im_offline">
        <source>You must be online to send messages. Change your availability?</source>
        <extracomment>Text of the question shown when the account to send on is offline.</extracomment>
        <translation>You must be online to send messages. Change your availability?</translation>
    </message>
    <message id="lxr_comm_share_disabled_account">
        <source>The account is disabled</source>
        <extracomment>Banner shown when the account to send on is disabled.</extracomment>
        <translation>The account is disabled</translation>
    </message>
    <message id="lxr_msg_filtering_dialog_sms_and_mms">
        <source>SMS and MMS</source>
        <extracomment>Service name of the built-in cellular messaging account.</extracomment>
        <translation>SMS and MMS</translation>
    </message>
    <message id="lxr_comm_type_home">
        <source>Home</source>
        <extracomment>Context label of a phone number.</extracomment>
        <translation>Home</translation>
    </message>
    <message id="lxr_comm_type_work">
        <source>Work</source>
        <extracomment>Context label of a phone number.</extracomment>
        <translation>Work</translation>
    </message>
    <message id="lxr_comm_type_mobile">
        <source>Mobile</source>
        <extracomment>Context label of a phone number.</extracomment>
        <translation>Mobile</translation>
    </message>
    <message id="lxr_comm_type_fax">
        <source>Fax</source>
        <extracomment>Context label of a phone number.</extracomment>
        <translation>Fax</translation>
    </message>
    <message id="lxr_cont_type_other">
        <source>Other</source>
        <extracomment>Context label of a phone number of no particular kind.</extracomment>
        <translation>Other</translation>
    </message>
    <message id="lxr_msg_dialog_accept">
        <source>Yes</source>
        <extracomment>Button that accepts a question before sending (switch the network on, leave offline mode, change availability).</extracomment>
        <translation>Yes</translation>
    </message>
    <message id="lxr_msg_dialog_decline">
        <source>No</source>
        <extracomment>Button that declines a question before sending.</extracomment>
        <translation>No</translation>
    </message>
</context>
</TS>
