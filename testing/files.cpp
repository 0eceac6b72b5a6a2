#include "testing/files.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

std::string ReadFile(const std::string& aPath) {
  std::ifstream in(aPath, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const std::string& aPath, const std::string& aText) {
  std::ofstream(aPath, std::ios::binary | std::ios::trunc) << aText;
}

std::string MakeTempDir(const std::string& aTag, const std::string& aParent) {
  const char* tmp = getenv("TMPDIR");
  std::string parent = !aParent.empty() ? aParent : tmp && *tmp ? tmp : "/tmp";
  std::string pattern = parent + "/" + aTag + "-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  return mkdtemp(buffer.data()) ? std::string(buffer.data()) : std::string();
}

TTempDir::~TTempDir() {
  std::error_code ignored;
  if (!iPath.empty()) std::filesystem::remove_all(iPath, ignored);
}
