// Identifiers of the program's resources, commands and controls, shared by
// the resource script and the code that loads and handles them.
#pragma once

// Strings.
inline constexpr int KKvStrWindowClass = 40009;  // "KorvanetWindowClass"
inline constexpr int KKvStrWindowTitle = 40013;  // "Korvanet"

// Menus with their menu bars, the bar's images, accelerators.
inline constexpr int KKvMenuContacts = 101;
inline constexpr int KKvAccelerators = 102;
inline constexpr int KKvMenuInbox = 114;
inline constexpr int KKvMenuOutbox = 115;
inline constexpr int KKvMenuSent = 116;
inline constexpr int KKvMenuConversations = 123;
inline constexpr int KKvBitmapMenuBar = 121;
inline constexpr int KKvMenuBarImages = 4;

// Dialogs.
inline constexpr int KKvDlgAbout = 107;
inline constexpr int KKvDlgCompose = 108;
inline constexpr int KKvDlgContactEditor = 110;
inline constexpr int KKvDlgProgress = 113;
inline constexpr int KKvDlgSettings = 117;
inline constexpr int KKvDlgSimPin = 118;
inline constexpr int KKvDlgUssd = 119;
inline constexpr int KKvDlgFind = 122;

// Commands.
inline constexpr int KKvCmdOk = 1;
inline constexpr int KKvCmdCancel = 2;
inline constexpr int KKvCmdSettings = 40006;
inline constexpr int KKvCmdDelete = 40012;
inline constexpr int KKvCmdUploadChanges = 40018;
inline constexpr int KKvCmdAbout = 40019;
inline constexpr int KKvCmdNewEntry = 40021;
inline constexpr int KKvCmdEntryMenu = 40022;
inline constexpr int KKvCmdDownloadContacts = 40032;
inline constexpr int KKvCmdSend = 40033;
inline constexpr int KKvCmdEdit = 40034;
inline constexpr int KKvCmdDownloadMessages = 40045;
inline constexpr int KKvCmdSendAllMessages = 40052;
inline constexpr int KKvCmdForward = 40053;
inline constexpr int KKvCmdReply = 40054;
inline constexpr int KKvCmdDeleteAllMessages = 40056;
inline constexpr int KKvCmdInbox = 40063;
inline constexpr int KKvCmdOutbox = 40064;
inline constexpr int KKvCmdContacts = 40065;
inline constexpr int KKvCmdSent = 40069;
inline constexpr int KKvCmdConversations = 40096;
// Back from an open conversation to the list of them.
inline constexpr int KKvCmdAllConversations = 40098;
inline constexpr int KKvCmdDeleteAllContacts = 40070;
inline constexpr int KKvCmdChangeView = 40072;
// "Listen for messages" in the Phone menus, and the menu bar's listening button.
inline constexpr int KKvCmdListen = 40085;
// The menu bar's drop-down buttons.
inline constexpr int KKvCmdViewMenu = 40023;
inline constexpr int KKvCmdPhoneMenu = 40024;
// Contacts and messages to and from files, through the file chooser.
inline constexpr int KKvCmdImportContacts = 40090;
inline constexpr int KKvCmdExportContacts = 40091;
inline constexpr int KKvCmdExportMessages = 40092;
// "Status…" in the Phone menus: the phone's status in a box.
inline constexpr int KKvCmdPhoneStatus = 40095;
// Phone ▸ USSD…: a code to the network, and its menus answered.
inline constexpr int KKvCmdUssd = 40093;
// Entry ▸ Find…: messages found by any part of their text, name or number.
inline constexpr int KKvCmdFind = 40097;

// Controls of the frame and the views.
inline constexpr int KKvIdTitleButton = 17460;
inline constexpr int KKvIdFolderTree = 17461;
inline constexpr int KKvIdListBox = 4096;
inline constexpr int KKvIdListView = 4097;
inline constexpr int KKvIdReader = 4098;
// An open conversation's reply box, its counter and Send.
inline constexpr int KKvIdReplyText = 4099;
inline constexpr int KKvIdReplyCount = 4100;
inline constexpr int KKvIdReplySend = 4101;

// Controls of the progress dialog.
inline constexpr int KKvIdProgressBar = 1022;
inline constexpr int KKvIdStatusText = 1023;
// Controls of the settings dialog.
inline constexpr int KKvIdSmscField = 1025;
inline constexpr int KKvIdLogCheckBox = 1031;
inline constexpr int KKvIdReportsCheckBox = 1032;
inline constexpr int KKvIdNoticesCheckBox = 1033;
inline constexpr int KKvIdPortList = 1034;
// The About box's text.
inline constexpr int KKvIdAboutText = 1101;
// Controls of the compose dialog.
inline constexpr int KKvIdComposeSend = 1011;
inline constexpr int KKvIdComposeRecipient = 1022;
inline constexpr int KKvIdComposeDate = 1014;
inline constexpr int KKvIdComposeCount = 1013;
inline constexpr int KKvIdComposeText = 1007;
// Controls of the SIM PIN dialog.
inline constexpr int KKvIdPinPrompt = 1110;
inline constexpr int KKvIdPinField = 1111;
// Controls of the USSD dialog: what the network said, and the code or answer.
inline constexpr int KKvIdUssdText = 1112;
inline constexpr int KKvIdUssdPrompt = 1113;
inline constexpr int KKvIdUssdField = 1114;
// Controls of the Find dialog: the typed text, what was found, the rows.
inline constexpr int KKvIdFindQuery = 1120;
inline constexpr int KKvIdFindStatus = 1121;
inline constexpr int KKvIdFindResults = 1122;
// Controls of the contact editor.
inline constexpr int KKvIdContactName = 1016;
inline constexpr int KKvIdContactNumber = 1017;
inline constexpr int KKvIdContactStore = 1003;
inline constexpr int KKvIdContactDetails = 1008;
