#include "support/test_files.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace tarnlet {
namespace testing {

namespace fs = std::filesystem;

TempDir::TempDir() {
  static std::atomic<unsigned> serial{0};
  std::random_device entropy;
  const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path candidate = fs::temp_directory_path() /
                         ("tarnlet-" + std::to_string(entropy()) + "-" +
                          std::to_string(static_cast<unsigned long long>(ticks) % 1000000u) + "-" +
                          std::to_string(serial++));
    std::error_code error;
    if (fs::create_directory(candidate, error)) {
      path_ = candidate.string();
      return;
    }
  }
  throw std::runtime_error("TempDir: no folder could be created");
}

TempDir::~TempDir() {
  std::error_code error;
  fs::remove_all(fs::path(path_), error);
}

// Joined as bytes: a path object would take a Windows name for UTF-8 and
// spoil Shift-JIS, which the library passes on through the ANSI code page.
std::string TempDir::File(const std::string& name) const {
  return path_ + static_cast<char>(fs::path::preferred_separator) + name;
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "";
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool FileExists(const std::string& path) {
  std::error_code error;
  return fs::exists(fs::path(path), error);
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void WritePrivateFile(const std::string& path, const std::string& bytes) {
  WriteFileBytes(path, bytes);
  std::error_code error;
  fs::permissions(fs::path(path), fs::perms::owner_read | fs::perms::owner_write,
                  fs::perm_options::replace, error);
}

}  // namespace testing
}  // namespace tarnlet
