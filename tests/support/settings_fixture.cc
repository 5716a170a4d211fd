#include "support/settings_fixture.h"

#include <cstring>

namespace tarnlet {
namespace testing {

void SetField(char* field, std::size_t width, const std::string& text) {
  std::memset(field, 0, width);
  text.copy(field, text.size() < width ? text.size() : width - 1);
}

MailSettings BaseSettings(std::uint16_t smtpPort, const std::string& logPath,
                          const std::string& server) {
  MailSettings settings;
  std::memset(&settings, 0, sizeof settings);
  settings.Startup = 1;
  settings.Kind = 0;
  settings.SMTPPortNo = smtpPort;
  settings.POP3PortNo = 110;
  SetField(settings.SMTPServerAddress, server);
  SetField(settings.POP3ServerAddress, server);
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
