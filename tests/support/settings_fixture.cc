#include "support/settings_fixture.h"

#include <cstring>

namespace tarnlet {
namespace testing {

MailSettings BaseSettings(std::uint16_t smtpPort, const std::string& logPath) {
  MailSettings settings;
  std::memset(&settings, 0, sizeof settings);
  settings.Startup = 1;
  settings.Kind = 0;
  settings.SMTPPortNo = smtpPort;
  settings.POP3PortNo = 110;
  SetField(settings.SMTPServerAddress, "127.0.0.1");
  SetField(settings.POP3ServerAddress, "127.0.0.1");
  SetField(settings.Address, "to@example.com");
  SetField(settings.Subject, "Test");
  SetField(settings.X_MailerName, "TestMailer");
  SetField(settings.MyHostFQDNName, "client.example");
  SetField(settings.MyMailAddress, "from@example.com");
  SetField(settings.Log, logPath);
  return settings;
}

}  // namespace testing
}  // namespace tarnlet
