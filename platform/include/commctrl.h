// The common controls: progress bar, tab control, tree view, list view.
#pragma once

#include <windows.h>
