// The manual page tarnlet(1), written from the command line's own
// description: every subcommand and every option the parser knows, so
// the page cannot fall behind the options however they are declared.
#ifndef TARNLET_TOOLS_MAN_PAGE_H_
#define TARNLET_TOOLS_MAN_PAGE_H_

#include <ostream>

namespace CLI {
class App;
}  // namespace CLI

namespace tarnlet {
namespace tool {

// Writes the page in roff with the man macros. Options in no group (the
// parser's hidden ones) are left out.
void WriteManPage(const CLI::App& app, std::ostream& out);

}  // namespace tool
}  // namespace tarnlet

#endif  // TARNLET_TOOLS_MAN_PAGE_H_
