#include "app/views/kv_view_table.h"

#include "app/views/kv_contacts_view.h"
#include "app/views/kv_conversations_view.h"
#include "app/views/kv_messages_view.h"
#include "app/views/resources/resource_ids.h"
#include "store/messages.h"

namespace {

template <class TView>
CKvView* NewViewL(const TKvViewRow& aRow, MKvViewHost& aHost) {
  return TView::NewL(aRow, aHost);
}

template <DWORD KFolder>
CKvView* NewMessagesViewL(const TKvViewRow& aRow, MKvViewHost& aHost) {
  return CKvMessagesView::NewL(aRow, aHost, KFolder);
}

// In the order the folder tree lists them.
const TKvViewRow KViews[] = {
    {EKvViewInbox, u"Inbox", KKvCmdInbox, KKvMenuInbox, NewMessagesViewL<EKvFolderInbox>},
    {EKvViewOutbox, u"Outbox", KKvCmdOutbox, KKvMenuOutbox, NewMessagesViewL<EKvFolderOutbox>},
    {EKvViewContacts, u"Contacts", KKvCmdContacts, KKvMenuContacts, NewViewL<CKvContactsView>},
    {EKvViewSent, u"Sent", KKvCmdSent, KKvMenuSent, NewMessagesViewL<EKvFolderSent>},
    {EKvViewConversations, u"Conversations", KKvCmdConversations, KKvMenuConversations,
     NewViewL<CKvConversationsView>},
};

}  // namespace

std::span<const TKvViewRow> KvViewTable() { return KViews; }
