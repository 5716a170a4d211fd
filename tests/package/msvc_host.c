/* A host linked the way Microsoft's linker links one, against tarnlet.lib:
 * built by scripts/check-package with clang for the MSVC ABI and lld-link,
 * without a C library. Sends one message to 127.0.0.1:PEER_PORT, then calls
 * Tarnlet2 with a missing INI file (-32, no network). Exit status 0 when
 * both answered as expected. */
#include "tarnlet.h"

static MailSettings settings; /* zero-filled */

static void Put(char* field, const char* text) {
  while (*text != '\0') *field++ = *text++;
}

int Start(void) {
  settings.Startup = 1;
  settings.SMTPPortNo = PEER_PORT;
  settings.POP3PortNo = 110;
  Put(settings.SMTPServerAddress, "127.0.0.1");
  Put(settings.POP3ServerAddress, "127.0.0.1");
  Put(settings.Address, "yamada@example.jp;sato@example.jp");
  Put(settings.Subject, "Monthly report");
  Put(settings.MyHostFQDNName, "client.example.jp");
  Put(settings.MyMailAddress, "sender@example.jp");
  if (Tarnlet1("Hello,\r\nthe report is attached.\r\n", &settings) != 0) return 1;
  return Tarnlet2("", "C:\\no-such-folder\\none.ini") == -32 ? 0 : 2;
}
