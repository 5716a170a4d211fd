// Attachment paths as the library should get them. The library names an
// attachment by the part of its path after the last separator, read as
// Shift-JIS, and types it by what follows the first '.' of the whole path.
// Where the system allows, a file whose name is not plain ASCII, or whose
// folders hold a '.' or ';', is linked into a fresh folder under its
// Shift-JIS name, so the message carries the name and type a person expects.
#ifndef TARNLET_TOOLS_ATTACHMENT_STAGE_H_
#define TARNLET_TOOLS_ATTACHMENT_STAGE_H_

#include <string>
#include <vector>

namespace tarnlet {
namespace tool {

class AttachmentStage {
 public:
  AttachmentStage() = default;
  ~AttachmentStage();  // removes the links and their folders
  AttachmentStage(const AttachmentStage&) = delete;
  AttachmentStage& operator=(const AttachmentStage&) = delete;

  // The library path for the attachment typed as typed (its name in
  // argumentEncoding). Throws ToolError for a file that cannot be read and
  // for a path the library's ';'-separated list cannot carry (it also drops
  // the spaces around each path).
  std::string Add(const std::string& typed, const std::string& argumentEncoding);

  // Notes for the user about attachments passed as they are.
  const std::vector<std::string>& warnings() const { return warnings_; }

 private:
  std::vector<std::string> links_;
  std::vector<std::string> folders_;
  std::vector<std::string> warnings_;
};

}  // namespace tool
}  // namespace tarnlet

#endif  // TARNLET_TOOLS_ATTACHMENT_STAGE_H_
