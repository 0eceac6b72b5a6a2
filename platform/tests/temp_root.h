// A private device root in a temporary folder for one test.
#pragma once

#include <string>

class TempRoot {
 public:
  TempRoot();
  ~TempRoot();
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};
