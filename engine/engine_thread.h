// The engine thread: its entry and the handler that takes commands from its
// message queue whenever the thread waits.
#pragma once

#include <wintypes.h>

// Thread entry: aParameter is the main window's handle, passed by value.
DWORD KvEngineMain(LPVOID aParameter);
// Drains the thread's message queue, dispatching each command to the engine
// (a CPhoneEng, or null when it could not be made). Returns 0.
int EngineEventLoop(void* aEngine);
