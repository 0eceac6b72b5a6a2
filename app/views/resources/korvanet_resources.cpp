// The resource script: strings, menus and menu bars of the views, the
// menu bar's images, accelerators and dialogs.
#include "app/views/resources/korvanet_resources.h"

#include <aygshell.h>
#include <commctrl.h>
#include <kvresources.h>

#include "app/views/resources/resource_ids.h"

using namespace kvresources;

namespace {

// Captions and tool tips of the menu bars.
enum : WORD {
  KStrViewMenu = 40100,
  KStrPhoneMenu,
  KStrEntryMenu,
  KStrNewMessage,
  KStrDeleteSelection,
  KStrChangeView,
  KStrNewContact,
};

MenuEntry ViewPopup() {
  return Popup(u"View", {MenuItem(u"Contacts", KKvCmdContacts), MenuItem(u"Conversations", KKvCmdConversations),
                         MenuItem(u"Inbox", KKvCmdInbox),
                         MenuItem(u"Outbox", KKvCmdOutbox), MenuItem(u"Sent", KKvCmdSent)});
}

// The messages folders' Phone menu: Send all only in the Outbox.
MenuEntry MessagesPhonePopup(bool aSendAll) {
  std::vector<MenuEntry> items = {MenuItem(u"Download messages", KKvCmdDownloadMessages)};
  if (aSendAll) items.push_back(MenuItem(u"Send all messages", KKvCmdSendAllMessages));
  items.push_back(MenuItem(u"Delete all messages", KKvCmdDeleteAllMessages));
  items.push_back(MenuItem(u"Listen for messages", KKvCmdListen));
  items.push_back(MenuItem(u"Status…", KKvCmdPhoneStatus));
  items.push_back(MenuItem(u"USSD…", KKvCmdUssd));
  items.push_back(Separator());
  items.push_back(MenuItem(u"Export messages…", KKvCmdExportMessages));
  items.push_back(Separator());
  items.push_back(MenuItem(u"Settings", KKvCmdSettings));
  items.push_back(MenuItem(u"About", KKvCmdAbout));
  return Popup(u"Phone", items);
}

MenuEntry EditEntryPopup() {
  return Popup(u"Entry", {MenuItem(u"Delete", KKvCmdDelete), MenuItem(u"Edit", KKvCmdEdit), Separator(),
                          MenuItem(u"Send", KKvCmdSend), Separator(), MenuItem(u"Find…", KKvCmdFind)});
}

std::vector<MenuBarButton> MessagesMenuBar() {
  return {DropDownButton(KKvCmdViewMenu, KStrViewMenu, 0), DropDownButton(KKvCmdPhoneMenu, KStrPhoneMenu, 1),
          DropDownButton(KKvCmdEntryMenu, KStrEntryMenu, 2), ImageButton(0, KKvCmdNewEntry, KStrNewMessage),
          ImageButton(1, KKvCmdDelete, KStrDeleteSelection), ImageButton(2, KKvCmdChangeView, KStrChangeView)};
}

// Four 16 x 16 images side by side: new, delete, change view, and the
// listening antenna the frame shows in its title band.
const std::vector<std::string> KMenuBarImages = {
    "                                                                ",
    "  ########        #          #    #############    +        +   ",
    "  #     # #       ##        ##    #           #   +   +  +   +  ",
    "  #     #  #       ##      ##     # ######### #  +   +    +   + ",
    "  #     #####       ##    ##      #           #  +  +  ##  +  + ",
    "  #         #        ##  ##       # ######### #  +  +  ##  +  + ",
    "  #   +     #         ####        #           #  +   +    +   + ",
    "  #   +     #          ##         #############   +   +  +   +  ",
    "  # +++++   #         ####        #           #    +   ##   +   ",
    "  #   +     #        ##  ##       # #### #### #        ##       ",
    "  #   +     #       ##    ##      #           #        ##       ",
    "  #         #      ##      ##     # #### #### #        ##       ",
    "  #         #     ##        ##    #           #        ##       ",
    "  ###########     #          #    #############       ####      ",
    "                                                     ######     ",
    "                                                                ",
};

// Full screen on a 240-pixel screen: about 136 dialog units across.
DialogDefinition AboutDialog() {
  DialogDefinition about;
  about.cx = 136;
  about.cy = 150;
  about.style = WS_POPUP | WS_CAPTION;
  about.caption = u"About";
  about.controls = {
      CText(u"Korvanet", -1, 0, 20, 136, 12),
      CText(u"Version 1.0", -1, 0, 36, 136, 10),
      CText(u"Phone manager for GSM phones", -1, 0, 52, 136, 10),
      LText(u"Data folder:", -1, 6, 76, 124, 10),
      LText(u"", KKvIdAboutText, 6, 88, 124, 40),
  };
  return about;
}

DialogDefinition ComposeDialog() {
  DialogDefinition compose;
  compose.cx = 135;
  compose.cy = 178;
  compose.style = WS_POPUP;
  compose.controls = {
      PushButton(u"Send", KKvIdComposeSend, 4, 7, 29, 31),
      LText(u"To:", -1, 41, 7, 22, 10),
      ComboBox(KKvIdComposeRecipient, 65, 5, 66, 158, CBS_DROPDOWN | CBS_SORT | CBS_AUTOHSCROLL | WS_VSCROLL),
      LText(u"Date:", -1, 41, 22, 22, 10),
      LText(u"", KKvIdComposeDate, 65, 22, 66, 12),
      LText(u"Count", -1, 41, 36, 22, 10),
      LText(u"0", KKvIdComposeCount, 65, 36, 66, 12),
      EditText(KKvIdComposeText, 3, 51, 129, 123, ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN),
  };
  return compose;
}

DialogDefinition ContactEditorDialog() {
  DialogDefinition editor;
  editor.cx = 136;
  editor.cy = 156;
  editor.style = WS_POPUP | WS_CAPTION;
  editor.caption = u"New Contact";
  editor.controls = {
      LText(u"Name:", -1, 4, 6, 40, 10),
      EditText(KKvIdContactName, 48, 4, 84, 12, WS_BORDER | ES_AUTOHSCROLL),
      LText(u"Mobile tel:", -1, 4, 22, 42, 10),
      EditText(KKvIdContactNumber, 48, 20, 84, 12, WS_BORDER | ES_AUTOHSCROLL),
      LText(u"Store on:", -1, 4, 38, 40, 10),
      ComboBox(KKvIdContactStore, 48, 36, 84, 40, CBS_DROPDOWNLIST),
      LText(u"Other Details:", -1, 4, 54, 80, 10),
      EditText(KKvIdContactDetails, 4, 66, 128, 86, ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_BORDER),
  };
  return editor;
}

DialogDefinition ProgressDialog() {
  DialogDefinition progress;
  progress.x = 10;
  progress.y = 35;
  progress.cx = 113;
  progress.cy = 76;
  progress.style = WS_POPUP | WS_CAPTION | DS_MODALFRAME;
  progress.caption = u"Processing ...";
  progress.controls = {
      EditText(KKvIdStatusText, 4, 4, 105, 24, ES_MULTILINE | ES_READONLY),
      Control(u"", KKvIdProgressBar, u"msctls_progress32", WS_BORDER, 4, 32, 105, 10),
      PushButton(u"Cancel", KKvCmdCancel, 31, 50, 50, 16),
  };
  return progress;
}

DialogDefinition SettingsDialog() {
  DialogDefinition settings;
  settings.cx = 155;
  settings.cy = 164;
  settings.style = WS_POPUP | WS_CAPTION;
  settings.caption = u"Settings";
  settings.font = u"Tahoma";
  settings.controls = {
      LText(u"SMS service centre address:", -1, 4, 4, 128, 10),
      LText(u"SMSC", -1, 4, 19, 24, 10),
      EditText(KKvIdSmscField, 30, 17, 102, 12, WS_BORDER | ES_AUTOHSCROLL),
      LText(u"An SMSC number must be entered before SMS messages can be sent. It is among the message "
            u"settings of your phone.",
            -1, 4, 34, 128, 34),
      LText(u"Always enter the number in international format, for example +44...", -1, 4, 69, 128, 27),
      AutoCheckBox(u"Request delivery reports", KKvIdReportsCheckBox, 4, 96, 140, 11),
      AutoCheckBox(u"Show a notice for new messages", KKvIdNoticesCheckBox, 4, 107, 140, 11),
      AutoCheckBox(u"Create log file", KKvIdLogCheckBox, 4, 118, 100, 11),
      LText(u"Port", -1, 4, 132, 24, 10),
      ComboBox(KKvIdPortList, 30, 130, 102, 60, CBS_DROPDOWNLIST | WS_VSCROLL),
      DefPushButton(u"OK", KKvCmdOk, 14, 146, 50, 16),
      PushButton(u"Cancel", KKvCmdCancel, 72, 146, 50, 16),
  };
  return settings;
}

// The SIM's PIN: masked, with the attempts left above it.
DialogDefinition SimPinDialog() {
  DialogDefinition pin;
  pin.x = 10;
  pin.y = 30;
  pin.cx = 116;
  pin.cy = 84;
  pin.style = WS_POPUP | WS_CAPTION | DS_MODALFRAME;
  pin.caption = u"SIM PIN";
  pin.controls = {
      LText(u"", KKvIdPinPrompt, 4, 4, 108, 34),
      EditText(KKvIdPinField, 4, 40, 108, 12, WS_BORDER | ES_PASSWORD | ES_AUTOHSCROLL),
      DefPushButton(u"OK", KKvCmdOk, 6, 60, 50, 16),
      PushButton(u"Cancel", KKvCmdCancel, 60, 60, 50, 16),
  };
  return pin;
}

// A USSD code, or the answer to the network's menu shown above it.
DialogDefinition UssdDialog() {
  DialogDefinition ussd;
  ussd.cx = 136;
  ussd.cy = 150;
  ussd.style = WS_POPUP | WS_CAPTION;
  ussd.caption = u"USSD";
  ussd.controls = {
      EditText(KKvIdUssdText, 4, 4, 128, 84, ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL | WS_BORDER),
      LText(u"", KKvIdUssdPrompt, 4, 92, 128, 10),
      EditText(KKvIdUssdField, 4, 104, 128, 12, WS_BORDER | ES_AUTOHSCROLL),
      DefPushButton(u"OK", KKvCmdOk, 14, 126, 50, 16),
      PushButton(u"Cancel", KKvCmdCancel, 72, 126, 50, 16),
  };
  return ussd;
}

// A search box, what was found, and the rows found below; the rows fill the
// rest of the screen once shown.
DialogDefinition FindDialog() {
  DialogDefinition find;
  find.cx = 136;
  find.cy = 150;
  find.style = WS_POPUP | WS_CAPTION;
  find.caption = u"Find";
  find.controls = {
      EditText(KKvIdFindQuery, 2, 3, 132, 12, WS_BORDER | ES_AUTOHSCROLL),
      LText(u"", KKvIdFindStatus, 3, 18, 130, 10),
      Control(u"", KKvIdFindResults, WC_LISTVIEWW,
              WS_VSCROLL | LVS_REPORT | LVS_OWNERDATA | LVS_SINGLESEL | LVS_SHOWSELALWAYS, 0,
              30, 136, 120),
  };
  return find;
}

}  // namespace

void KvDeclareResources(HINSTANCE aInstance) {
  Script(aInstance)
      .String(KKvStrWindowClass, u"KorvanetWindowClass")
      .String(KKvStrWindowTitle, u"Korvanet")
      .String(KStrViewMenu, u"View")
      .String(KStrPhoneMenu, u"Phone")
      .String(KStrEntryMenu, u"Entry")
      .String(KStrNewMessage, u"New message")
      .String(KStrDeleteSelection, u"Delete selection")
      .String(KStrChangeView, u"Change view")
      .String(KStrNewContact, u"New contact")

      .Accelerators(KKvAccelerators, {{FCONTROL | FVIRTKEY, 'A', KKvCmdAbout},
                                      {FCONTROL | FVIRTKEY, 'Q', KKvCmdOk},
                                      {FVIRTKEY, VK_ESCAPE, KKvCmdCancel}})

      .Menu(KKvMenuContacts,
            {ViewPopup(),
             Popup(u"Phone", {MenuItem(u"Download contacts", KKvCmdDownloadContacts),
                              MenuItem(u"Upload changes", KKvCmdUploadChanges),
                              MenuItem(u"Delete all contacts", KKvCmdDeleteAllContacts),
                              MenuItem(u"Listen for messages", KKvCmdListen),
                              MenuItem(u"Status…", KKvCmdPhoneStatus),
                              MenuItem(u"USSD…", KKvCmdUssd), Separator(),
                              MenuItem(u"Import contacts…", KKvCmdImportContacts),
                              MenuItem(u"Export contacts…", KKvCmdExportContacts), Separator(),
                              MenuItem(u"Settings", KKvCmdSettings), MenuItem(u"About", KKvCmdAbout)}),
             Popup(u"Entry", {MenuItem(u"Delete", KKvCmdDelete), MenuItem(u"Edit", KKvCmdEdit), Separator(),
                              MenuItem(u"Send SMS", KKvCmdSend)})})
      .MenuBar(KKvMenuContacts,
               {DropDownButton(KKvCmdViewMenu, KStrViewMenu, 0), DropDownButton(KKvCmdPhoneMenu, KStrPhoneMenu, 1),
                DropDownButton(KKvCmdEntryMenu, KStrEntryMenu, 2), ImageButton(0, KKvCmdNewEntry, KStrNewContact),
                ImageButton(1, KKvCmdDelete, KStrDeleteSelection)})

      .Menu(KKvMenuInbox,
            {ViewPopup(), MessagesPhonePopup(false),
             Popup(u"Entry", {MenuItem(u"Delete", KKvCmdDelete), MenuItem(u"Read", KKvCmdEdit),
                              MenuItem(u"Forward", KKvCmdForward, MF_GRAYED),
                              MenuItem(u"Reply", KKvCmdReply, MF_GRAYED), Separator(),
                              MenuItem(u"Find…", KKvCmdFind)})})
      .MenuBar(KKvMenuInbox, MessagesMenuBar())

      .Menu(KKvMenuConversations,
            {ViewPopup(), MessagesPhonePopup(false),
             Popup(u"Entry", {MenuItem(u"Open", KKvCmdEdit), MenuItem(u"Find…", KKvCmdFind), Separator(),
                              MenuItem(u"All conversations", KKvCmdAllConversations)})})
      .MenuBar(KKvMenuConversations,
               {DropDownButton(KKvCmdViewMenu, KStrViewMenu, 0), DropDownButton(KKvCmdPhoneMenu, KStrPhoneMenu, 1),
                DropDownButton(KKvCmdEntryMenu, KStrEntryMenu, 2), ImageButton(0, KKvCmdNewEntry, KStrNewMessage)})

      .Menu(KKvMenuOutbox, {ViewPopup(), MessagesPhonePopup(true), EditEntryPopup()})
      .MenuBar(KKvMenuOutbox, MessagesMenuBar())

      .Menu(KKvMenuSent, {ViewPopup(), MessagesPhonePopup(false), EditEntryPopup()})
      .MenuBar(KKvMenuSent, MessagesMenuBar())

      .Bitmap(KKvBitmapMenuBar, KMenuBarImages, {{'#', RGB(0, 0, 0)}, {'+', RGB(0, 128, 0)}})

      .Dialog(KKvDlgAbout, AboutDialog())
      .Dialog(KKvDlgCompose, ComposeDialog())
      .Dialog(KKvDlgContactEditor, ContactEditorDialog())
      .Dialog(KKvDlgProgress, ProgressDialog())
      .Dialog(KKvDlgSettings, SettingsDialog())
      .Dialog(KKvDlgSimPin, SimPinDialog())
      .Dialog(KKvDlgUssd, UssdDialog())
      .Dialog(KKvDlgFind, FindDialog());
}
