// Process, environment and file services of the tarnlet command.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "system/tool_support.h"

namespace tarnlet {
namespace tool {
namespace {

std::string NarrowOf(const wchar_t* text, UINT codePage) {
  int size = WideCharToMultiByte(codePage, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return "";
  std::vector<char> bytes(static_cast<std::size_t>(size));
  WideCharToMultiByte(codePage, 0, text, -1, bytes.data(), size, nullptr, nullptr);
  return bytes.data();
}

}  // namespace

std::vector<std::string> ProcessArguments(int argc, char** argv) {
  std::vector<std::string> arguments;
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) {
    for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
    return arguments;
  }
  for (int i = 1; i < count; ++i) arguments.push_back(NarrowOf(wide[i], CP_UTF8));
  LocalFree(wide);
  return arguments;
}

bool ReadEnvironment(const char* name, std::string* value) {
  const char* found = std::getenv(name);
  if (found == nullptr) return false;
  *value = found;
  return true;
}

void SetStdinBinary() { _setmode(_fileno(stdin), _O_BINARY); }

// The library's file calls take the ANSI code page; a character outside it
// would be replaced by a look-alike or '?', naming another file.
bool LibraryPathFromArgument(const std::string& argument, std::string* path) {
  int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, argument.c_str(), -1, nullptr, 0);
  if (size <= 0) return false;
  std::vector<wchar_t> wide(static_cast<std::size_t>(size));
  MultiByteToWideChar(CP_UTF8, 0, argument.c_str(), -1, wide.data(), size);
  UINT codePage = GetACP();
  bool strict = codePage != CP_UTF8;
  BOOL usedDefault = FALSE;
  DWORD flags = strict ? WC_NO_BEST_FIT_CHARS : 0;
  int narrowSize = WideCharToMultiByte(codePage, flags, wide.data(), -1, nullptr, 0, nullptr,
                                       strict ? &usedDefault : nullptr);
  if (narrowSize <= 0 || usedDefault) return false;
  std::vector<char> narrow(static_cast<std::size_t>(narrowSize));
  WideCharToMultiByte(codePage, flags, wide.data(), -1, narrow.data(), narrowSize, nullptr,
                      nullptr);
  *path = narrow.data();
  return true;
}

std::string AbsolutePath(const std::string& path) {
  char full[MAX_PATH * 4];
  DWORD got = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
  if (got == 0 || got >= sizeof full) return path;
  return std::string(full, got);
}

std::string CreateTempFile(const std::string& prefix) {
  char folder[MAX_PATH + 1];
  DWORD got = GetTempPathA(sizeof folder, folder);
  if (got == 0 || got > MAX_PATH) return "";
  char name[MAX_PATH + 1];
  if (GetTempFileNameA(folder, prefix.c_str(), 0, name) == 0) return "";
  return name;
}

void RemoveFile(const std::string& path) { DeleteFileA(path.c_str()); }

std::string CreateStagingFolder() { return ""; }

bool LinkFile(const std::string&, const std::string&) { return false; }

void RemoveFolder(const std::string& path) { RemoveDirectoryA(path.c_str()); }

}  // namespace tool
}  // namespace tarnlet
