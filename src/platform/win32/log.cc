// Log lines as the C runtime's text mode stores them: every LF as CR LF.
// The file is opened for each line, so the host may move or truncate it
// between lines. The runtime's "a" mode seeks to the end and then writes,
// so two processes appending at once could write over each other's lines.
// Here each line goes out in one WriteFile through a handle opened for
// appending, which puts it whole at the end of the file; and while it is
// written the writer holds a lock on one byte far beyond any end of file,
// for file systems (and emulations) that find the end and then write.
#include "platform/win32/windows_api.h"

#include "platform/system_platform.h"
#include "platform/text_mode_line.h"

namespace tarnlet {
namespace {

// Shared as fopen's "a" mode shares the file. A lock needs read or write
// access to the data; a file this user may only append to is still written.
HANDLE OpenForAppending(const char* path, bool* lockable) {
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
  HANDLE file = ::CreateFileA(path, FILE_APPEND_DATA | FILE_READ_DATA, share, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  *lockable = file != INVALID_HANDLE_VALUE;
  if (*lockable) return file;
  return ::CreateFileA(path, FILE_APPEND_DATA, share, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

// The byte every writer of the file locks: no data is ever there, so
// readers of the file are never held up.
OVERLAPPED WriterLockPlace() {
  OVERLAPPED place{};
  place.Offset = 0xFFFFFFFEu;
  place.OffsetHigh = 0x7FFFFFFFu;
  return place;
}

// Other writers hold the lock only while they write one line. Whoever holds
// it longer must not hold this call too: after about a second the line goes
// out without it.
bool TakeWriterLock(HANDLE file, OVERLAPPED* place) {
  for (int attempt = 0; attempt < 1000; ++attempt) {
    if (::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, place)) {
      return true;
    }
    ::Sleep(1);
  }
  return false;
}

void WriteAll(HANDLE file, const char* data, std::size_t length) {
  while (length > 0) {
    DWORD asked = length > MAXDWORD ? MAXDWORD : static_cast<DWORD>(length);
    DWORD wrote = 0;
    if (!::WriteFile(file, data, asked, &wrote, nullptr) || wrote == 0) return;
    data += wrote;
    length -= wrote;
  }
}

}  // namespace

bool SystemPlatform::AppendLogLine(const char* path, const char* line) {
  if (path == nullptr) return false;
  bool lockable = false;
  HANDLE file = OpenForAppending(path, &lockable);
  if (file == INVALID_HANDLE_VALUE) return false;
  // Only a file on disk is written: a pipe nobody reads or a device (COM1,
  // CON) could hold the call, and the call lock, for ever. NUL is a
  // character device too, and a line dropped there is not missed.
  if (::GetFileType(file) != FILE_TYPE_DISK) {
    ::CloseHandle(file);
    return false;
  }
  OVERLAPPED place = WriterLockPlace();
  const bool locked = lockable && TakeWriterLock(file, &place);
  WriteTextModeLine(line,
                    [file](const char* bytes, std::size_t count) { WriteAll(file, bytes, count); });
  if (locked) ::UnlockFileEx(file, 0, 1, 0, &place);
  // Write and close errors are not reported: the line counts as written.
  ::CloseHandle(file);
  return true;
}

}  // namespace tarnlet
