// tarnlet --version: the command's release and build, and the library file
// it runs with, which may come from another release.
#include <string>

#include "commands.h"
#include "system/tool_support.h"
#include "tarnlet_version.h"
#include "text_convert.h"

namespace tarnlet {
namespace tool {

std::string VersionReport() {
  std::string report = "tarnlet " TARNLET_VERSION " (" TARNLET_BUILD ")\n";
  std::string path;
  std::string version;
  if (!LoadedLibrary(&path, &version)) return report + "library: not loaded\n";
  report += "library " + (version.empty() ? std::string("of unknown version") : version);
  report += ": " + ForTerminal(path, MessageEncoding()) + "\n";
  if (!version.empty() && version != TARNLET_VERSION) {
    report += "the library is not the one released with this command\n";
  }
  return report;
}

}  // namespace tool
}  // namespace tarnlet
