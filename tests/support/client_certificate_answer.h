// Windows answers a server's request for a client certificate with
// SEC_I_INCOMPLETE_CREDENTIALS until the caller asks to go on without one;
// Wine's SChannel answers the request by itself. While one of these lives,
// the test program's own InitializeSecurityContextA answers as Windows
// does (or, in kAlways, even after the caller asked to go on), so the
// Windows engine meets that answer under Wine too. Windows builds only.
#ifndef TARNLET_TESTS_SUPPORT_CLIENT_CERTIFICATE_ANSWER_H_
#define TARNLET_TESTS_SUPPORT_CLIENT_CERTIFICATE_ANSWER_H_

namespace tarnlet {
namespace testing {

class ClientCertificateAnswer {
 public:
  enum Mode { kAsWindows, kAlways };
  explicit ClientCertificateAnswer(Mode mode);
  ~ClientCertificateAnswer();
  ClientCertificateAnswer(const ClientCertificateAnswer&) = delete;
  ClientCertificateAnswer& operator=(const ClientCertificateAnswer&) = delete;

  // How often the answer was given.
  int given() const;
};

}  // namespace testing
}  // namespace tarnlet

#endif  // TARNLET_TESTS_SUPPORT_CLIENT_CERTIFICATE_ANSWER_H_
