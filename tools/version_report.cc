// tarnlet --version: the command's release and build. The command runs the
// library's code built into it (so it can watch the dialogue), not the
// shared library hosts load; the report says so.
#include <string>

#include "commands.h"
#include "tarnlet_version.h"

namespace tarnlet {
namespace tool {

std::string VersionReport() {
  return "tarnlet " TARNLET_VERSION " (" TARNLET_BUILD
         ")\n"
         "library " TARNLET_VERSION " (" TARNLET_BUILD "), built into this command\n";
}

}  // namespace tool
}  // namespace tarnlet
