// Transactions on a mounted database volume, which the Windows CE object
// store does not offer: for imports that must be all or nothing. Every write
// this process makes to the volume between the two calls (through any of its
// database handles) takes effect at the end with commit set, or not at all.
// Other processes' writes wait meanwhile.
#pragma once

#include "windbase.h"

namespace kvplatform {

BOOL BeginVolumeTransaction(const CEGUID& volume);
// With commit FALSE, or when the commit fails, every write is undone.
BOOL EndVolumeTransaction(const CEGUID& volume, BOOL commit);

}  // namespace kvplatform
