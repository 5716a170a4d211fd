// Scripted peers inside TLS: the front of tests/support/mail_peer.py,
// started by CTest (its folder in TARNLET_TLS_FRONT), puts TLS before a peer's
// port, so a dialogue scripted for clear text runs through the real TLS
// engine of the build under test.
#ifndef TARNLET_TESTS_SUPPORT_TLS_FRONT_H_
#define TARNLET_TESTS_SUPPORT_TLS_FRONT_H_

#include <cstdint>
#include <string>

namespace tarnlet {
namespace testing {

// The port of a new front serving one connection for peerPort, with the
// front's options ("starttls lines" ...); 0 when no front runs.
std::uint16_t TlsFront(std::uint16_t peerPort, const std::string& options = "");

}  // namespace testing
}  // namespace tarnlet

#endif  // TARNLET_TESTS_SUPPORT_TLS_FRONT_H_
