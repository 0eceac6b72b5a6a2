// What the Find dialog says and shows besides the store's search: whether a
// typed query can be searched for, and the part of a message's text a
// result row shows, its match near the start so the row shows it whole.
#pragma once

#include <string>

// Why the typed text cannot be searched for, as the dialog says it; empty
// when it can. aBlank is set when there is nothing to search for (no
// letters, digits or marks), which is not a fault.
std::u16string KvFindQueryProblem(const std::u16string& aQuery, bool& aBlank);

// The text of a result row from a message's text on one line (its line
// feeds already gone): from a few characters before the first match of
// aQuery, as the search folds both, with "…" where it was cut. The start of
// the text when the match was in the name or number. Characters that would
// steer the row (controls, direction overrides) show as spaces.
std::u16string KvFindSnippet(const std::u16string& aLine, const std::u16string& aQuery);
