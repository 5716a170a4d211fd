#include "attachment_stage.h"

#include <fstream>

#include "record_builder.h"
#include "system/tool_support.h"
#include "text_convert.h"
#include "tool_error.h"

namespace tarnlet {
namespace tool {
namespace {

bool IsAscii(const std::string& text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

}  // namespace

AttachmentStage::~AttachmentStage() {
  for (const std::string& link : links_) RemoveFile(link);
  for (const std::string& folder : folders_) RemoveFolder(folder);
}

std::string AttachmentStage::Add(const std::string& typed, const std::string& argumentEncoding) {
  std::size_t cut = typed.find_last_of("/\\");
  std::string folder = cut == std::string::npos ? "" : typed.substr(0, cut + 1);
  std::string name = cut == std::string::npos ? typed : typed.substr(cut + 1);
  const std::string quoted = "--attach \"" + typed + "\"";
  if (name.empty()) throw ToolError(kExitUsage, quoted + ": names no file");
  if (name.find(';') != std::string::npos) {
    throw ToolError(kExitData, quoted +
                                   ": the library's attachment list splits at ';', so a "
                                   "file name holding one cannot be sent; copy the file "
                                   "under another name");
  }
  if (typed.front() == ' ' || typed.back() == ' ') {
    throw ToolError(kExitData, quoted +
                                   ": the library drops the spaces around each path of its "
                                   "attachment list, so a path that begins or ends with "
                                   "one cannot be sent");
  }
  std::string path = LibraryPathOf(typed, "--attach");
  if (!std::ifstream(path, std::ios::binary)) {
    throw ToolError(kExitNoInput, quoted + ": cannot be read");
  }
  bool awkwardFolder = folder.find_first_of(".;") != std::string::npos;
  if (!IsAscii(name) || awkwardFolder) {
    std::string sjisName = ToShiftJis(name, argumentEncoding, quoted + " (file name)");
    std::string staging = CreateStagingFolder();
    if (!staging.empty()) {
      folders_.push_back(staging);
      std::string link = staging + "/" + sjisName;
      if (!LinkFile(path, link)) {
        throw ToolError(kExitSystem, quoted + ": cannot link the file into " + staging);
      }
      links_.push_back(link);
      return link;
    }
  }
  if (folder.find(';') != std::string::npos) {
    throw ToolError(kExitData, quoted +
                                   ": the library's attachment list splits at ';'; give a "
                                   "path whose folders hold none");
  }
  if (folder.find('.') != std::string::npos) {
    warnings_.push_back(quoted +
                        ": a folder holds '.', and the library types a file by what "
                        "follows the first '.' of its path, so it goes as "
                        "application/octet-stream");
  }
  return path;
}

}  // namespace tool
}  // namespace tarnlet
