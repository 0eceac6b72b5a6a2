// A second, empty device root with the program's data folder, for the rest
// of a test: where an export is imported "on another machine".
#pragma once

#include <string>

class TFreshRoot {
 public:
  TFreshRoot();
  ~TFreshRoot();
  TFreshRoot(const TFreshRoot&) = delete;
  TFreshRoot& operator=(const TFreshRoot&) = delete;
  const std::string& Path() const { return iPath; }

 private:
  std::string iPath;
};
