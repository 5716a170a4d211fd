// tarnlet --version: the command's release and build. The command calls
// the exports built into it (so it can watch the dialogue), not those of the
// shared library hosts load; the report says so. The library's version is
// the one its header states, so the version test also holds the header to
// the build's version.
#include <string>

#include "commands.h"
#include "tarnlet.h"
#include "tarnlet_version.h"

namespace tarnlet {
namespace tool {

std::string VersionReport() {
  return "tarnlet " TARNLET_COMMAND_VERSION " (" TARNLET_BUILD
         ")\n"
         "library " TARNLET_VERSION_STRING " (" TARNLET_BUILD "), built into this command\n";
}

}  // namespace tool
}  // namespace tarnlet
