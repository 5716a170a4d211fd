// System services of the tarnlet command, not of the library: text
// conversion between encodings, the process's arguments and environment,
// temporary files and paths. One implementation per backend, in
// tools/system/posix/ and tools/system/win32/; only the command links it.
#ifndef TARNLET_TOOLS_SYSTEM_TOOL_SUPPORT_H_
#define TARNLET_TOOLS_SYSTEM_TOOL_SUPPORT_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tarnlet {
namespace tool {

// --- text conversion ---
// Encoding names are the system's own: iconv names on POSIX ("UTF-8",
// "EUC-JP", "CP932"), code pages on Windows ("cp932", "utf-8", "20932" or
// a plain number). Both understand "UTF-8" and "CP932" in any letter case.

// Returns true iff the system can convert from and to this encoding.
bool IsKnownEncoding(const std::string& encoding);

// Decodes bytes into Unicode scalar values. Returns false when the bytes
// are not valid in the encoding; *badOffset is then the offset of the first
// byte of the first character that could not be decoded.
// REQUIRES: IsKnownEncoding(encoding).
bool DecodeText(const std::string& bytes, const std::string& encoding, std::u32string* out,
                std::size_t* badOffset);

// Encodes one character. Returns false when the encoding has no character of
// its own for it: substitutes, best-fit and one-way mappings count as none
// (a character qualifies only when its bytes decode back to it).
// REQUIRES: IsKnownEncoding(encoding).
bool EncodeChar(char32_t character, const std::string& encoding, std::string* out);

// The encoding of text typed on this system's terminal and of text files by
// default: the locale's codeset on POSIX, the ANSI code page on Windows.
std::string DefaultTextEncoding();
// The encoding the terminal shows: the locale's codeset on POSIX, the
// console's output code page on Windows (the ANSI one without a console).
std::string TerminalEncoding();

// --- process ---
// The arguments after the program name. On Windows they are taken from the
// wide command line and returned as UTF-8, so nothing typed is lost to the
// ANSI code page.
std::vector<std::string> ProcessArguments(int argc, char** argv);
// The encoding the arguments are in when text is taken to be in
// textEncoding: the same on POSIX, where the terminal's bytes arrive as
// typed; UTF-8 on Windows (see ProcessArguments).
std::string ArgumentEncoding(const std::string& textEncoding);

// Reads an environment variable as the bytes the library should see (the
// ANSI code page on Windows). Returns false when it is not set.
bool ReadEnvironment(const char* name, std::string* value);

// Switches standard input to binary reads (no line-end translation).
void SetStdinBinary();

// --- files and paths ---
// Turns a path typed as an argument into the form the library's file calls
// take (the same bytes on POSIX; the ANSI code page on Windows). Returns
// false when the path has a character that form cannot hold.
bool LibraryPathFromArgument(const std::string& argument, std::string* path);

// An absolute form of a library path (relative to the working directory);
// the path unchanged when it cannot be made absolute.
std::string AbsolutePath(const std::string& path);

// Creates an empty file of its own in the system's temporary folder and
// returns its library path; "" on failure.
std::string CreateTempFile(const std::string& prefix);
void RemoveFile(const std::string& path);

// Attachments are staged under the names the library should send: a new
// empty folder whose path holds no '.' (the library types a file by what
// follows the first '.' of its whole path), and links in it to the files.
// CreateStagingFolder returns "" where the command does not stage
// (Windows: names there are already in the ANSI code page the library
// reads, and links need rights a user may not have).
std::string CreateStagingFolder();
// Makes link (a library path) name the file at target. Returns false when
// the system refuses.
bool LinkFile(const std::string& target, const std::string& link);
// Removes an empty folder.
void RemoveFolder(const std::string& path);

// --- terminal ---
enum class StandardStream { kInput, kError };

// Returns true iff the stream is a terminal (a console on Windows).
bool IsTerminal(StandardStream stream);
// The width of the terminal standard error shows on; 80 when unknown.
std::size_t TerminalColumns();

// --- OAuth sign-in (loopback.cc) ---
// Fills out with bytes from the system's random generator.
bool RandomBytes(unsigned char* out, std::size_t count);
// The 32 bytes of the SHA-256 digest of data (the PKCE challenge).
std::string Sha256(const std::string& data);

// A listener on 127.0.0.1 at a port the system picks, for the redirect of
// a browser sign-in (RFC 8252 7.3). Closed by its destructor.
class LoopbackListener {
 public:
  LoopbackListener();
  ~LoopbackListener();
  LoopbackListener(const LoopbackListener&) = delete;
  LoopbackListener& operator=(const LoopbackListener&) = delete;

  // 0 when no listener could be made.
  std::uint16_t port() const { return port_; }
  // Waits up to seconds for one HTTP request, answers it with page (HTML)
  // and returns its request target ("/?code=...&state=..."); "" on time-out.
  // The same on every system (loopback_request.cc).
  std::string TakeRequest(unsigned seconds, const std::string& page);

 private:
  // Waits up to seconds for a client; false on time-out.
  bool Accept(unsigned seconds);
  // The accepted client's next bytes within 10 s; 0 at its end, on time-out
  // or failure.
  long Receive(char* buffer, std::size_t capacity);
  // Sends data to the accepted client and closes it.
  void Answer(const std::string& data);

  std::intptr_t socket_;
  std::intptr_t client_;
  std::uint16_t port_ = 0;
};

}  // namespace tool
}  // namespace tarnlet

#endif  // TARNLET_TOOLS_SYSTEM_TOOL_SUPPORT_H_
