// What a test process holds, to check that work leaves nothing behind.
#pragma once

// The threads of this process (/proc/self/task).
int CountThreads();
// Its open descriptors (/proc/self/fd), the one used for counting not counted.
int CountDescriptors();
