// The conversations: every exchange with one party as one row (its name or
// number, the start of its last message and when, its unread count), the
// latest first; a tap opens it as bubbles (kv_conversation_thread.h) over a
// reply box with the counter and Send. A reply not sent stays as the
// conversation's draft (kv_conversation_drafts.h). Both the list and the
// open conversation read only what they show.
#pragma once

#include <windbase.h>
#include <windows.h>

#include <string>
#include <unordered_map>
#include <vector>

#include "app/views/kv_view.h"
#include "kernel/arrays.h"
#include "store/messages.h"

class CEpocListView;
class CKvConversationThread;

class CKvConversationsView : public CKvView {
 public:
  static CKvConversationsView* NewL(const TKvViewRow& aRow, MKvViewHost& aHost);
  ~CKvConversationsView() override;

  LRESULT HandleNotify(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) override;
  LRESULT HandleCommand(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) override;
  LRESULT Draw(const RECT& aRect) override;
  void DoMakeVisible(bool aFlag) override;
  void SizeChangedL() override;
  int CountComponentControls() const override { return iComponents.Count(); }
  CEpocControl* ComponentControl(int aIndex) const override { return iComponents[aIndex]; }

  void DoInitialiseViewL() override;
  bool IsOfType(CEOID aDatabaseId) override;
  void UpdateViewL(const CENOTIFICATION& aNotification) override;
  CEpocListControl* GetCurrentListBox() override;
  int DeleteEntryL(CEOID aIdentifier) override;
  // Opens the conversation of the row (its identifier is the row and one).
  int EditEntryL(CEOID aIdentifier) override;
  int SendEntryL(CEOID aIdentifier) override;
  int NewEntryL() override;
  void UpdateMenuL(HMENU aMenu) override;

  // The list's rows, the latest conversation first.
  const std::vector<TKvConversation>& Conversations() const { return iConversations; }
  // A row's two texts as the list shows them.
  std::u16string RowTitleL(int aRow);
  std::u16string RowLineL(int aRow);
  void OpenConversationL(int aRow);
  // Back to the list, the reply kept as the draft.
  void ShowListL();
  bool IsConversationOpen() const { return !iOpenKey.empty(); }
  const std::u16string& OpenKey() const { return iOpenKey; }
  CEpocListView* ListView() const { return iList; }
  CKvConversationThread* Thread() const { return iThread; }
  HWND ReplyBox() const { return iReply; }
  HWND ReplyCount() const { return iCount; }
  HWND SendButton() const { return iSend; }

 private:
  struct TShownRow {
    std::u16string iTitle;
    std::u16string iLine;
  };

  CKvConversationsView(const TKvViewRow& aRow, MKvViewHost& aHost);
  void CreateReplyControls();
  void LoadConversationsL();
  const TShownRow& ShownRowL(int aRow);
  // The conversation's title: a contact's name for its number, else the
  // name or number its messages carry.
  std::u16string TitleOfL(const std::u16string& aKey, const CKveMessagesItem& aNewest);
  void AnswerRowL(NMLVDISPINFOW& aInfo);
  LRESULT CustomDrawRow(const NMCUSTOMDRAW& aDraw);
  void LayOut();
  void ShowMode();
  void MarkOpenReadL();
  void KeepDraftL();
  void SendReplyL();
  void UpdateCount();

  CArrayFixFlat<CEpocControl*> iComponents;
  CEpocListView* iList = nullptr;
  CKvConversationThread* iThread = nullptr;
  HWND iReply = nullptr;  // go with the view window
  HWND iCount = nullptr;
  HWND iSend = nullptr;
  CKveMessagesDatabase* iMessages = nullptr;  // the document's
  CEOID iDatabaseOid = 0;
  std::vector<TKvConversation> iConversations;
  std::unordered_map<std::u16string, TShownRow> iShown;
  bool iStale = true;
  HFONT iBoldFont = nullptr;
  // The open conversation: its key, whom a reply goes to, and its title.
  std::u16string iOpenKey;
  std::u16string iReplyName;
  std::u16string iReplyNumber;
  std::u16string iOpenTitle;
};
