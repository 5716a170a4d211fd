#include "support/code_page.h"

#include <sys/stat.h>

namespace tarnlet {
namespace testing {

unsigned AnsiCodePage() { return 0; }

bool MakeFolder(const std::string& path) { return ::mkdir(path.c_str(), 0700) == 0; }

}  // namespace testing
}  // namespace tarnlet
