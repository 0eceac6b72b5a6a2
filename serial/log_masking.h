// The bytes of the line go into the log as a dump, except a command that
// carries a SIM code (and its echo): the log may be sent to others.
#pragma once

#include "kernel/descriptors.h"

bool BytesCarrySimCode(const void* aData, int aLength);


