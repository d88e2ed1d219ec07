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
    <message id="lxr_msg_error_account_offline">
        <source>The account is offline.</source>
        <extracomment>Why a message cannot be sent now (check before sending): the account to send on is offline.</extracomment>
        <translation>The account is offline.</translation>
    </message>
    <message id="lxr_msg_error_account_connecting">
        <source>The account is still connecting. Try again in a moment.</source>
        <extracomment>Why a message cannot be sent now: the account to send on is still connecting.</extracomment>
        <translation>The account is still connecting. Try again in a moment.</translation>
    </message>
    <message id="lxr_msg_error_no_sim_card">
        <source>There is no SIM card.</source>
        <extracomment>Why a message cannot be sent now: a text message needs a SIM card.</extracomment>
        <translation>There is no SIM card.</translation>
    </message>
    <message id="lxr_msg_error_user_declined">
        <source>Sending was cancelled.</source>
        <extracomment>Why a message was not sent: the user answered No (or nothing) to the question before sending, e.g. whether to switch the phone network on.</extracomment>
        <translation>Sending was cancelled.</translation>
    </message>
    <message id="lxr_msg_error_phone_network_off">
        <source>The phone network could not be switched on.</source>
        <extracomment>Why a message cannot be sent now: the phone network stayed off.</extracomment>
        <translation>The phone network could not be switched on.</translation>
    </message>
    <message id="lxr_msg_error_account_disabled">
        <source>The account is disabled.</source>
        <extracomment>Why a message cannot be sent now: the account to send on is disabled.</extracomment>
        <translation>The account is disabled.</translation>
    </message>
    <message id="lxr_msg_error_cannot_send">
        <source>The message cannot be sent now.</source>
        <extracomment>Why a message cannot be sent now, when no more precise text applies.</extracomment>
        <translation>The message cannot be sent now.</translation>
    </message>
    <message id="lxr_msg_error_not_sent">
        <source>The message could not be sent.</source>
        <extracomment>Shown at a message that did not leave, when no more precise text applies (the service refused it, or did not answer).</extracomment>
        <translation>The message could not be sent.</translation>
    </message>
    <message id="lxr_msg_error_conversation_not_open">
        <source>The conversation could not be opened.</source>
        <extracomment>Shown at a message that did not leave: the conversation could not be opened.</extracomment>
        <translation>The conversation could not be opened.</translation>
    </message>
    <message id="lxr_msg_error_no_connection">
        <source>The message could not be sent: there is no connection.</source>
        <extracomment>Shown at a message that did not leave: the account is offline or its connection went away.</extracomment>
        <translation>The message could not be sent: there is no connection.</translation>
    </message>
    <message id="lxr_msg_error_account_unavailable">
        <source>The account is not available.</source>
        <extracomment>Shown at a message that did not leave: the account to send on is missing or unusable.</extracomment>
        <translation>The account is not available.</translation>
    </message>
    <message id="lxr_msg_error_no_such_recipient">
        <source>There is no such recipient.</source>
        <extracomment>Shown at a message that did not leave: the recipient's address is not valid.</extracomment>
        <translation>There is no such recipient.</translation>
    </message>
    <message id="lxr_msg_error_other_application">
        <source>Another application handles this conversation.</source>
        <extracomment>Shown at a message that did not leave: the conversation belongs to another messaging application.</extracomment>
        <translation>Another application handles this conversation.</translation>
    </message>
    <message id="lxr_msg_error_card_unreadable">
        <source>The contact card could not be read.</source>
        <extracomment>Shown at a business card (vCard) that did not leave: its file cannot be read or is empty.</extracomment>
        <translation>The contact card could not be read.</translation>
    </message>
    <message id="lxr_msg_error_too_large">
        <source>The message is too large to send.</source>
        <extracomment>Shown at a message that did not leave: it is larger than a message may be.</extracomment>
        <translation>The message is too large to send.</translation>
    </message>
    <message id="lxr_msg_error_no_answer">
        <source>No answer came in time. The message may not have been sent.</source>
        <extracomment>Shown at a message whose sending did not finish in time: it may or may not have left.</extracomment>
        <translation>No answer came in time. The message may not have been sent.</translation>
    </message>
    <message id="lxr_msg_error_gave_up">
        <source>The message could not be sent, although it was tried for a long time.</source>
        <extracomment>Shown at a message of the send queue after its retries ran out.</extracomment>
        <translation>The message could not be sent, although it was tried for a long time.</translation>
    </message>
    <message id="lxr_msg_error_not_delivered">
        <source>The message was not delivered.</source>
        <extracomment>Shown at a sent message whose delivery report says it did not reach the recipient.</extracomment>
        <translation>The message was not delivered.</translation>
    </message>
</context>
</TS>
