// What the communicator's active objects call when their request completes.
#pragma once

// A function with its argument, called when a request completes.
struct TCommCallBack {
  int (*iFunction)(void* aPtr);
  void* iPtr;
  int CallBack() const { return iFunction ? iFunction(iPtr) : 0; }
};
