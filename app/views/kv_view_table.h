// The table of views: every view of the program, the order their folders
// are listed in, and what makes each. The application UI builds its views
// from it; a new view is a file of its own and one row here.
#pragma once

#include <span>

#include "app/views/kv_view.h"

enum TKvViewType {
  EKvViewInbox = 0,
  EKvViewOutbox = 1,
  EKvViewSent = 2,
  EKvViewContacts = 3,
  EKvViewConversations = 4,
};

std::span<const TKvViewRow> KvViewTable();
