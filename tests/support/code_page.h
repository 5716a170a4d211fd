// The ANSI code page of the running process, for the legs that run the
// Windows suites under a Japanese code page, and a folder made through it.
#ifndef TARNLET_TESTS_SUPPORT_CODE_PAGE_H_
#define TARNLET_TESTS_SUPPORT_CODE_PAGE_H_

#include <string>

namespace tarnlet {
namespace testing {

// GetACP() on Windows; 0 elsewhere.
unsigned AnsiCodePage();

// Makes a folder whose name is bytes as the library passes them to the
// system: through the ANSI code page on Windows, unchanged elsewhere.
bool MakeFolder(const std::string& path);

}  // namespace testing
}  // namespace tarnlet

#endif  // TARNLET_TESTS_SUPPORT_CODE_PAGE_H_
