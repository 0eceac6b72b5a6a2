// A handle that ReadFile, WriteFile and FlushFileBuffers work on: a file or a
// serial port. Each kind says what reading and writing mean for it.
#pragma once

#include "handle_table.h"

namespace kvplatform {

class IoObject : public KernelObject {
 public:
  virtual BOOL Read(void* buffer, DWORD toRead, DWORD& read) = 0;
  virtual BOOL Write(const void* buffer, DWORD toWrite, DWORD& written) = 0;
  virtual BOOL Flush() = 0;
};

}  // namespace kvplatform
