#include "support/code_page.h"

#include <windows.h>

namespace tarnlet {
namespace testing {

unsigned AnsiCodePage() { return ::GetACP(); }

bool MakeFolder(const std::string& path) { return ::CreateDirectoryA(path.c_str(), nullptr) != 0; }

}  // namespace testing
}  // namespace tarnlet
