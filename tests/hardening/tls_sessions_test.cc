// Many calls inside TLS in one process: every session, socket and buffer
// is released, so what the process holds stays flat, and nothing the
// engine makes per session runs out.
#include <cstdlib>

#include "mail/mail_fixture.h"
#include "support/process_resources.h"
#include "support/tls_front.h"

namespace tarnlet {
namespace mail_tests {
namespace {

// AddressSanitizer keeps freed memory aside: there the memory cannot stay
// flat, and the sanitizer finds what is not freed by itself.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMemoryHeldBack = true;
#else
constexpr bool kMemoryHeldBack = false;
#endif

class TlsSessionsTest : public MailTest {
 protected:
  ResultCode SendInsideTls() {
    ScriptedPeer peer{SmtpServer()};
    const std::uint16_t front = testing::TlsFront(peer.port());
    EXPECT_NE(front, 0) << "no TLS front: run the tests through CTest";
    platform_.RoutePort(465, front);
    const ResultCode r = Run("Hi\r\n");
    peer.Transcript();
    return r;
  }
};

TEST_F(TlsSessionsTest, ThreeHundredSessionsLeaveNothingBehind) {
  SetField(g_mailSettings.SMTPServerAddress, "localhost");
  platform_.MapHost("localhost", "127.0.0.1");
  g_mailSettings.SMTPPortNo = 465;
  // Under valgrind fewer: it finds what is not freed by itself.
  const bool valgrind = std::getenv("TARNLET_UNDER_VALGRIND") != nullptr;
  const int sessions = valgrind ? 20 : 300;
  const int warmUp = 10;  // first calls fill caches that stay
  long handles = 0;
  std::size_t memory = 0;
  for (int i = 0; i < sessions; ++i) {
    ASSERT_EQ(SendInsideTls(), 0) << "session " << i << "\n" << Log();
    if (i + 1 == warmUp) {
      handles = testing::OpenHandles();
      memory = testing::MemoryInUse();
    }
  }
  EXPECT_EQ(Log(), "");
  EXPECT_EQ(testing::OpenHandles(), handles);
  if (!valgrind && !kMemoryHeldBack) {
    EXPECT_LT(testing::MemoryInUse(), memory + 8 * 1024 * 1024);
  }
  ExpectAllReleased();
}

}  // namespace
}  // namespace mail_tests
}  // namespace tarnlet
