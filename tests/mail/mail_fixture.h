// Shared pieces of the dialogue and message tests: the fixture that runs a
// whole dialogue, peer scripts of an accepting server, the literal texts
// the client sends for the base settings.
#ifndef TARNLET_TESTS_MAIL_MAIL_FIXTURE_H_
#define TARNLET_TESTS_MAIL_MAIL_FIXTURE_H_

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "frame/globals.h"
#include "frame/mail_sender.h"
#include "log_lines.h"
#include "support/fault_platform.h"
#include "support/platform_test.h"
#include "support/reference_base64.h"
#include "support/scripted_peer.h"
#include "support/settings_fixture.h"
#include "support/tls_front.h"

namespace tarnlet {
namespace mail_tests {

using testing::Call;
using testing::ExpectLine;
using testing::FaultPlatform;
using testing::FaultRow;
using testing::PeerStep;
using testing::ReceiveData;
using testing::ScriptedPeer;
using testing::Send;
using testing::SetField;
using testing::SmtpServer;
using testing::StoredLog;
using namespace testing::lines;

const std::string kEhlo = "EHLO client.example\r\n";

// The five random digits of the Message-Id become "#####"; a Message-Id
// whose number is not five digits is left as it is, so the comparison fails.
inline std::string MaskMessageId(std::string transcript) {
  const std::string marker = ".quorvex";
  std::size_t at = transcript.find(marker);
  if (at == std::string::npos || at + marker.size() + 6 > transcript.size()) return transcript;
  at += marker.size();
  for (std::size_t i = 0; i < 5; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(transcript[at + i]))) return transcript;
  }
  if (transcript[at + 5] != '@') return transcript;
  transcript.replace(at, 5, "#####");
  return transcript;
}

// Decodes standard base64, ignoring CR and LF; "?" when a character lies
// outside the alphabet or padding is misplaced.
inline std::string DecodeBase64(const std::string& text) {
  static const std::string kAlphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  int values[256];
  for (int& v : values) v = -1;
  for (std::size_t i = 0; i < kAlphabet.size(); ++i) {
    values[static_cast<unsigned char>(kAlphabet[i])] = static_cast<int>(i);
  }
  std::string out(text.size() / 4 * 3 + 3, '\0');
  std::size_t length = 0;
  unsigned bits = 0;
  int count = 0;
  bool padded = false;
  for (char c : text) {
    if (c == '\r' || c == '\n') continue;
    if (c == '=') {
      padded = true;
      continue;
    }
    const int value = values[static_cast<unsigned char>(c)];
    if (value < 0 || padded) return "?";
    bits = (bits << 6) | static_cast<unsigned>(value);
    count += 6;
    if (count >= 8) {
      count -= 8;
      out[length++] = static_cast<char>((bits >> count) & 0xFF);
    }
  }
  out.resize(length);
  return out;
}

// Server side: greeting, then one reply per client line.
inline std::vector<PeerStep> Greet(const std::vector<std::string>& replies,
                                   const std::string& greeting = "220 ready\r\n") {
  return testing::GreetThenAnswer(greeting, replies);
}

// What the client sends before the message for the base settings.
inline std::string Commands(const std::vector<std::string>& rcptLines = {
                                "RCPT TO: to@example.com\r\n"}) {
  std::string text = "HELO client.example\r\nMAIL FROM: <from@example.com>\r\n";
  for (const std::string& line : rcptLines) text += line;
  return text + "DATA\r\n";
}

// The header block of the base settings, up to X-Mailer.
constexpr char kBaseHeaders[] =
    "From: <from@example.com>\r\n"
    "To: to@example.com\r\n"
    "Subject: =?ISO-2022-JP?B?VGVzdA==?=\r\n"
    "MIME-Version: 1.0\r\n"
    "Date: Thu, 5 Mar 2026 09:07:03 +0900\r\n"
    "Message-Id: <20260305090703.quorvex#####@client.example>\r\n"
    "X-Mailer: TestMailer\r\n";

constexpr char kTextPartHeader[] =
    "Content-Type: text/plain; charset=iso-2022-jp\r\n"
    "Content-Transfer-Encoding: 7bit\r\n"
    "\r\n";

// One login dialogue of a table: the server's script, the port the call
// names (587 and 465 reach the peer; any other: the peer's own), what it
// returns, what the server received and the log lines.
struct LoginRow {
  const char* what;
  std::uint16_t port;
  std::vector<PeerStep> server;
  ResultCode code;
  std::string transcript;
  std::vector<std::string> log;
  bool tlsCannotStart = false;  // the session cannot be set up (error 5)
  const char* front = nullptr;  // the options of a TLS front before the peer
};

// Runs whole dialogues with the base record; each run names its peer.
class MailTest : public testing::PlatformTest {
 protected:
  MailTest() { g_mailSettings.SMTPPortNo = 0; }

  // The call logs in: Kind, UserName and Password.
  void LogIn(std::int16_t kind, const std::string& user, const std::string& password) {
    g_mailSettings.Kind = kind;
    SetField(g_mailSettings.UserName, user);
    SetField(g_mailSettings.Password, password);
  }

  // Runs the dialogue against peer with the current settings.
  ResultCode RunWith(ScriptedPeer& peer, const char* body) {
    g_mailSettings.SMTPPortNo = peer.port();
    return Run(body);
  }
  ResultCode Run(const char* body) {
    MailSender sender;
    return sender.RunSmtpDialogue(body);
  }

  // Runs the dialogue with the call naming port: 587 and 465 are routed to
  // the peer, any other port is the peer's own. With front options, through
  // a TLS front before it (the name is then the one its certificate
  // carries).
  ResultCode RunAt(ScriptedPeer& peer, std::uint16_t port, const char* body = "",
                   const char* front = nullptr) {
    std::uint16_t target = peer.port();
    if (front != nullptr) {
      target = testing::TlsFront(peer.port(), front);
      EXPECT_NE(target, 0) << "no TLS front: run the tests through CTest";
      SetField(g_mailSettings.SMTPServerAddress, "localhost");
      platform_.MapHost("localhost", "127.0.0.1");
    }
    platform_.RoutePort(587, target);
    platform_.RoutePort(465, target);
    g_mailSettings.SMTPPortNo = port == 587 || port == 465 ? port : peer.port();
    return Run(body);
  }

  // The server named in field is not found: the call ends with code and
  // the line numbered number, before any socket is made.
  void ExpectNotFound(char (&field)[256], ResultCode code, const char* number) {
    SetField(field, "mail.example.invalid");
    platform_.ResolveNth(1, LookupResult::kHostNotFound, "", 11001);
    EXPECT_EQ(Run(""), code);
    EXPECT_EQ(Log(), StoredLog({HostNotFound(number)}));
    EXPECT_EQ(platform_.Count(Call::kCreateSocket), 0);
  }

  void RunLoginRows(const std::vector<LoginRow>& rows) {
    for (const LoginRow& row : rows) {
      SCOPED_TRACE(row.what);
      ClearLog();
      if (row.tlsCannotStart) platform_.FailNth(Call::kStartTls, 1, 5);
      ScriptedPeer peer(row.server);
      EXPECT_EQ(RunAt(peer, row.port, "", row.front), row.code);
      EXPECT_EQ(MaskMessageId(peer.Transcript()), row.transcript);
      EXPECT_EQ(Log(), StoredLog(row.log));
      ExpectAllReleased();
    }
  }
};

}  // namespace mail_tests
}  // namespace tarnlet

#endif  // TARNLET_TESTS_MAIL_MAIL_FIXTURE_H_
