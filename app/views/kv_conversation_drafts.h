// A conversation's reply not sent yet: kept in the program's settings (the
// registry, under the program's key, "Drafts", one value per conversation
// named by its key), so it outlives closing the conversation and the
// program, and goes once the reply is sent.
#pragma once

#include <string>

// Longest conversation key a draft is kept for; longer ones (a number
// written out of every plan) keep none.
const int KKvMaxDraftKey = 128;

// The draft of the conversation; empty when there is none.
std::u16string KvReadDraftL(const std::u16string& aKey);
// Keeps the text as the conversation's draft; an empty one removes it.
// False when the settings could not be written.
bool KvWriteDraftL(const std::u16string& aKey, const std::u16string& aText);
