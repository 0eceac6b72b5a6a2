// Files for tests: whole-file reads and writes and private temporary folders.
#pragma once

#include <string>

// The file's bytes ("" when it cannot be read).
std::string ReadFile(const std::string& aPath);
void WriteFile(const std::string& aPath, const std::string& aText);

// A new empty folder <aParent>/<aTag>-XXXXXX; the parent defaults to $TMPDIR, else /tmp.
std::string MakeTempDir(const std::string& aTag, const std::string& aParent = "");

// A temporary folder removed with everything in it when the object goes.
class TTempDir {
 public:
  explicit TTempDir(const std::string& aTag, const std::string& aParent = "") : iPath(MakeTempDir(aTag, aParent)) {}
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;
  const std::string& Path() const { return iPath; }

 private:
  std::string iPath;
};
