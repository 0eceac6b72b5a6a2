// The program's resources, declared for the module instance at start-up.
#pragma once

#include <windows.h>

void KvDeclareResources(HINSTANCE aInstance);
