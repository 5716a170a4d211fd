// Temporary folders and whole-file reads and writes for tests.
#ifndef TARNLET_TESTS_SUPPORT_TEST_FILES_H_
#define TARNLET_TESTS_SUPPORT_TEST_FILES_H_

#include <string>

namespace tarnlet {
namespace testing {

// A fresh, empty folder, removed with its contents by the destructor.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }
  // path() joined with name by the system's separator.
  std::string File(const std::string& name) const;

 private:
  std::string path_;
};

std::string ReadFileBytes(const std::string& path);  // "" when missing
bool FileExists(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
// The same, readable and writable by its owner only (a file of secrets).
void WritePrivateFile(const std::string& path, const std::string& bytes);

}  // namespace testing
}  // namespace tarnlet

#endif  // TARNLET_TESTS_SUPPORT_TEST_FILES_H_
