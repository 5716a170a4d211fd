// What each fuzz target does with one input, shared by the fuzzers and by
// the test that replays the kept inputs. Every runner aborts when a rule
// is broken, so a fuzzer reports it as a crash.
//
// Reply streams: the bytes after the selector are the server's replies;
// 0xFF '|' ends one receive chunk, 0xFF 'W' is a receive that would block,
// 0xFF 'R' a connection reset, 0xFF 0xFF a literal 0xFF.
#ifndef TARNLET_FUZZ_FUZZ_INPUTS_H_
#define TARNLET_FUZZ_FUZZ_INPUTS_H_

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "codec/base64.h"
#include "codec/encoded_word.h"
#include "codec/iso2022jp.h"
#include "fake_server_platform.h"
#include "frame/globals.h"
#include "frame/mail_sender.h"
#include "frame/settings.h"
#include "net/connection.h"
#include "support/fault_platform.h"
#include "tarnlet.h"

namespace tarnlet {
namespace fuzzing {

inline void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "broken rule: %s\n", what);
    std::abort();
  }
}

// The CRAM-MD5 challenge of RFC 2195, as the answering server sends it.
constexpr char kChallenge[] = "PDE4OTYuNjk3MTcwOTUyQHBvc3RvZmZpY2UuZXhhbXBsZT4=";

// The fake server under the counting platform, which tracks what a run
// leaves open.
struct FakeRun {
  FakeServerPlatform server;
  testing::FaultPlatform platform{server};
};

inline std::string AsText(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  const std::size_t nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
  return text;
}

inline bool SevenBit(const char* text, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0x80) != 0) return false;
  }
  return true;
}

// Text whose converted form cannot fake an escape or hold a NUL: no
// control bytes but CR and LF, and every trail byte a real one.
inline bool IsCleanSjis(const std::string& source) {
  bool clean = true;
  for (std::size_t i = 0; i < source.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(source[i]);
    const bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    if (lead && i + 1 < source.size()) {
      const unsigned char trail = static_cast<unsigned char>(source[++i]);
      if (trail < 0x40 || trail == 0x7F || trail > 0xFC) clean = false;
    } else if (c < 0x20 && c != '\r' && c != '\n') {
      clean = false;
    }
  }
  return clean;
}

// The heap block holds exactly the documented capacity, so ASan catches a
// single byte written beyond it.
inline void RunSjisInput(const std::uint8_t* data, std::size_t size) {
  const std::string source = AsText(data, size);
  const std::size_t capacity = Iso2022JpCapacity(source.size());
  std::vector<char> out(capacity, '\xFF');
  SjisToIso2022Jp(source.c_str(), out.data());
  const std::size_t length = std::strlen(out.data());
  Require(length < capacity, "conversion within capacity");
  Require(SevenBit(out.data(), length), "output is 7-bit");
  // A NUL inside the text would leave written bytes after the first one.
  for (std::size_t i = length + 1; i < capacity; ++i) {
    Require(out[i] == '\xFF', "output holds no NUL");
  }
  // Control bytes pass unchanged and odd trail bytes may compute to ESC, so
  // the mode at the end is checked only for text that cannot fake one.
  const bool clean = IsCleanSjis(source);
  const std::string text(out.data(), length);
  const std::size_t escape = text.rfind('\x1b');
  if (clean && escape != std::string::npos) {
    Require(text.compare(escape, 3, "\x1b(B") == 0, "ends in ASCII mode");
  }
}

// The words of a long header text: none longer than allowed, each payload
// whole base64 that decodes to text ending in ASCII mode.
inline void RunEncodedWordsInput(const std::string& source, std::size_t maxWord) {
  struct Check {
    std::size_t maxWord;
    bool clean;
  } check{maxWord, IsCleanSjis(source)};
  EncodeHeaderWords(
      source.c_str(), maxWord,
      [](void* context, const char* word) {
        const std::string text(word);
        Require(text.size() <= static_cast<Check*>(context)->maxWord, "word within its limit");
        Require(text.size() > 18 && text.compare(0, 16, "=?ISO-2022-JP?B?") == 0, "word prefix");
        const std::string payload = text.substr(16, text.size() - 18);
        std::vector<unsigned char> decoded(payload.size());
        int length = 0;
        Require(Base64Codec::Decode(decoded.data(), &length, payload.data(),
                                    static_cast<int>(payload.size())) == 1,
                "payload is base64");
        const std::string jis(decoded.begin(), decoded.begin() + length);
        Require(SevenBit(jis.data(), jis.size()), "output is 7-bit");
        Require(jis.find('\0') == std::string::npos, "output holds no NUL");
        if (!static_cast<Check*>(context)->clean) return;
        const std::size_t escape = jis.rfind("\x1b$B");
        Require(escape == std::string::npos || jis.find("\x1b(B", escape) != std::string::npos,
                "each word returns to ASCII");
      },
      &check);
}

inline void RunEncodedWordInput(const std::uint8_t* data, std::size_t size) {
  FakeRun run;  // the encoder allocates through the seam
  InstallPlatform(&run.platform);
  const std::string source = AsText(data, size);
  const std::size_t capacity = EncodedWordCapacity(source.size());
  std::vector<char> out(capacity);
  const int ok = EncodeHeaderWord(source.c_str(), out.data());
  InstallPlatform(nullptr);
  Require(run.platform.LiveBlocks() == 0, "encoder releases its blocks");
  if (ok == 0) return;
  const std::string word(out.data());
  Require(word.size() < capacity, "word within capacity");
  Require(word.compare(0, 16, "=?ISO-2022-JP?B?") == 0, "word prefix");
  Require(word.size() >= 18 && word.compare(word.size() - 2, 2, "?=") == 0, "word suffix");
  RunEncodedWordsInput(source, size == 0 ? 75 : 30 + data[0] % 46);
}

// Decoding any text stays inside an exactly sized block; encoding any bytes
// gives canonical text that decodes back to the same bytes.
inline void RunBase64Input(const std::uint8_t* data, std::size_t size) {
  const int inLength = static_cast<int>(size);
  std::vector<char> text(data, data + size);
  std::vector<unsigned char> decoded(3 * (size / 4) + 1);
  int decodedLength = -1;
  if (Base64Codec::Decode(decoded.data(), &decodedLength, text.data(), inLength) == 1) {
    Require(decodedLength >= 0 && decodedLength <= 3 * (inLength / 4), "decoded length");
  }
  if (size == 0) return;
  const int encodedSize = 4 * ((inLength + 2) / 3);
  std::vector<char> encoded(encodedSize > 0 ? encodedSize : 1);
  int encodedLength = -1;
  Base64Codec::Encode(encoded.data(), &encodedLength, data, inLength);
  Require(encodedLength == encodedSize, "encoded length");
  std::vector<unsigned char> again(3 * (encodedSize / 4) + 1);
  int againLength = -1;
  Require(Base64Codec::Decode(again.data(), &againLength, encoded.data(), encodedLength) == 1,
          "canonical text decodes");
  Require(againLength == inLength && (size == 0 || std::memcmp(again.data(), data, size) == 0),
          "round trip keeps the bytes");
}

// Feeds the reply-stream part of an input to the platform.
inline void LoadChunks(FakeServerPlatform& platform, const std::uint8_t* data, std::size_t size) {
  std::string chunk;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] != 0xFF || i + 1 == size) {
      chunk += static_cast<char>(data[i]);
      continue;
    }
    const std::uint8_t control = data[++i];
    if (control == 0xFF) {
      chunk += '\xff';
      continue;
    }
    if (!chunk.empty()) platform.AddChunk(chunk);
    chunk.clear();
    if (control == 'W') platform.AddChunk(FakeServerPlatform::kWouldBlockChunk);
    if (control == 'R') platform.AddChunk(FakeServerPlatform::kResetChunk);
  }
  if (!chunk.empty()) platform.AddChunk(chunk);
}

inline MailSettings FuzzSettings(int kind, std::uint16_t smtpPort, bool apop) {
  MailSettings settings;
  std::memset(&settings, 0, sizeof settings);
  settings.Startup = 1;
  settings.Kind = static_cast<std::int16_t>(kind);
  settings.APOP = apop ? 1 : 0;
  settings.SMTPPortNo = smtpPort;
  settings.POP3PortNo = 110;
  std::strcpy(settings.UserName, "user");
  std::strcpy(settings.Password, "secret");
  std::strcpy(settings.SMTPServerAddress, "127.0.0.1");
  std::strcpy(settings.POP3ServerAddress, "127.0.0.1");
  std::strcpy(settings.Address, "to@example.com;two@example.com");
  std::strcpy(settings.Cc, "cc@example.com");
  std::strcpy(settings.Subject, "\x8c\x8f\x96\xbc");
  std::strcpy(settings.X_MailerName, "FuzzMailer");
  std::strcpy(settings.MyHostFQDNName, "client.example");
  std::strcpy(settings.MyMailAddress, "from@example.com");
  std::strcpy(settings.AppendFile, "note.txt");
  std::strcpy(settings.Log, "fuzz.log");
  return settings;
}

// The bytes of sent from after start up to the first of the ends (or to the
// end of what was kept) are 7-bit text without NUL.
inline void RequireSevenBitBetween(const std::string& sent, const std::string& start,
                                   std::initializer_list<const char*> ends) {
  std::size_t from = sent.find(start);
  if (from == std::string::npos) return;
  from += start.size();
  std::size_t to = sent.size();
  for (const char* end : ends) to = std::min(to, sent.find(end, from));
  for (std::size_t i = from; i < to; ++i) {
    Require(sent[i] != '\0', "output holds no NUL");
    Require((static_cast<unsigned char>(sent[i]) & 0x80) == 0, "output is 7-bit");
  }
}

// What the library converts from Shift-JIS reaches the wire 7-bit and
// without NUL whatever bytes the record holds: the sender name, the
// Subject and the text. Other fields go out as written.
inline void RequireConvertedTextsSevenBit(const std::string& sent) {
  RequireSevenBitBetween(sent, "\r\nFrom: \"", {"\"<"});
  RequireSevenBitBetween(sent, "\r\nSubject: ", {"\r\nMIME-Version: "});
  RequireSevenBitBetween(sent, "\r\nContent-Transfer-Encoding: 7bit\r\n\r\n",
                         {"\r\n--", "\r\n.\r\n"});
}

// A run leaves nothing open, and fails only with a negative code.
inline void CheckReleased(FakeRun& run, ResultCode result) {
  Require(result <= 0, "result is 0 or a negative code");
  Require(run.platform.OpenSockets() == 0, "sockets closed");
  Require(run.platform.OpenTlsSessions() == 0, "TLS sessions closed");
  Require(run.platform.OpenFiles() == 0, "files closed");
  Require(run.platform.LiveBlocks() == 0, "blocks released");
  if (result < 0 && result != -32) Require(!run.server.log.empty(), "failure is logged");
}

// Selector byte: 0 one reply reader straight on the stream, else a whole
// call: 1 Kind 0, 2 Kind 1 on port 25, 3 Kind 1 on port 587, 4 Kind 2
// USER/PASS, 5 Kind 2 APOP. The second byte picks the reader for 0.
// Returns the call's result; for a reader 1 when it succeeded, else 0.
inline ResultCode RunDialogueInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const int mode = data[0] % 6;
  FakeRun run;
  InstallPlatform(&run.platform);
  if (mode == 0) {
    const int reader = data[1] % 5;
    LoadChunks(run.server, data + 2, size - 2);
    bool ok = false;
    g_mailSettings = FuzzSettings(0, 25, false);
    {
      MailSender sender;
      std::int32_t code = 0;
      int error = 0;
      Connection connection(run.platform.CreateTcpSocket(&error));
      std::vector<char> out(kReceiveBufferSize);
      switch (reader) {
        case 0:
          ok = sender.ReadReply(connection, 250, &code);
          break;
        case 1:
          ok = sender.ReadEhloReply(connection, 250, &code) != 0;
          break;
        case 2:
          ok = sender.ReadChallenge(connection, out.data(), out.size());
          break;
        case 3:
          ok = sender.ReadPopOk(connection);
          break;
        default:
          ok = sender.ReadApopTimestamp(connection, out.data(), out.size());
          break;
      }
    }
    std::memset(&g_mailSettings, 0, sizeof g_mailSettings);
    InstallPlatform(nullptr);
    Require(run.platform.LiveBlocks() == 0 && run.platform.OpenSockets() == 0, "reader releases");
    return ok ? 1 : 0;
  }
  LoadChunks(run.server, data + 1, size - 1);
  const int kinds[] = {0, 0, 1, 1, 2, 2};
  const MailSettings settings = FuzzSettings(kinds[mode], mode == 3 ? 587 : 25, mode == 5);
  ResultCode result;
  {
    MailSender sender;
    result = sender.SendFromRecord("Body line\r\n.\r\nlast", &settings);
  }
  std::memset(&g_mailSettings, 0, sizeof g_mailSettings);
  InstallPlatform(nullptr);
  CheckReleased(run, result);
  RequireSevenBitBetween(run.server.sent, "", {});  // its record holds clean text only
  return result;
}

// A record of arbitrary bytes (padded or cut to its size), the rest of the
// input the body; the server answers every line plausibly.
inline void RunRecordInput(const std::uint8_t* data, std::size_t size) {
  MailSettings settings;
  std::memset(&settings, 0, sizeof settings);
  const std::size_t recordBytes = size < sizeof settings ? size : sizeof settings;
  std::memcpy(&settings, data, recordBytes);
  const std::string body = AsText(data + recordBytes, size - recordBytes);
  FakeRun run;
  run.server.Answer(settings.POP3PortNo, kChallenge);
  InstallPlatform(&run.platform);
  ResultCode result;
  {
    MailSender sender;
    result = sender.SendFromRecord(body.c_str(), &settings);
  }
  std::memset(&g_mailSettings, 0, sizeof g_mailSettings);
  InstallPlatform(nullptr);
  Require(result <= 0, "result is 0 or a negative code");
  Require(run.platform.OpenSockets() == 0, "sockets closed");
  Require(run.platform.OpenTlsSessions() == 0, "TLS sessions closed");
  Require(run.platform.OpenFiles() == 0, "files closed");
  Require(run.platform.LiveBlocks() == 0, "blocks released");
  RequireConvertedTextsSevenBit(run.server.sent);
}

// The input becomes an INI file in a fresh temporary file; all 21 keys are
// read, through the platform reader and through the settings loader.
inline void RunIniInput(const std::uint8_t* data, std::size_t size, const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  Require(file != nullptr, "temporary file opens");
  if (size > 0) std::fwrite(data, 1, size, file);
  std::fclose(file);
  for (std::size_t i = 0; i < kIniFieldCount; ++i) {
    std::vector<char> value(kIniValueBufferSize);
    const std::size_t length = NativePlatform().ReadProfileString(
        path.c_str(), IniFieldTable[i].section, IniFieldTable[i].key, value.data(), value.size());
    Require(length < value.size() && std::strlen(value.data()) == length, "value in bounds");
  }
  std::memset(&g_mailSettings, 0, sizeof g_mailSettings);
  LoadIniSettings(path.c_str(), IniFieldTable, kIniFieldCount);
  // Every text field of the record must stay terminated within its width.
  const MailSettings& s = g_mailSettings;
  const char* fields[] = {s.UserName, s.Password, s.SMTPServerAddress, s.Subject, s.Log};
  const std::size_t widths[] = {sizeof s.UserName, sizeof s.Password, sizeof s.SMTPServerAddress,
                                sizeof s.Subject, sizeof s.Log};
  for (std::size_t i = 0; i < 5; ++i) {
    Require(std::memchr(fields[i], '\0', widths[i]) != nullptr, "field terminated");
  }
  std::memset(&g_mailSettings, 0, sizeof g_mailSettings);
  std::remove(path.c_str());
}

}  // namespace fuzzing
}  // namespace tarnlet

#endif  // TARNLET_FUZZ_FUZZ_INPUTS_H_
