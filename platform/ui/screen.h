// The screen's header under its former name, for code outside platform/ that
// still includes it so (the benchmarks).
#pragma once

#include "ui/screen/screen.h"
