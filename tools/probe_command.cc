// tarnlet probe: connects as a call would (TLS from the connect on 465 and
// 995, STARTTLS on 587 when offered), shows the dialogue with the TLS
// session and the certificate, says whether a send with --auth login could
// log in there, and ends with QUIT: no login, no message.
#include <cstring>
#include <string>

#include "commands.h"
#include "frame/globals.h"
#include "log_watch.h"
#include "net/exchange.h"
#include "net/resolve.h"
#include "record_builder.h"
#include "result_codes.h"
#include "trace_platform.h"

namespace tarnlet {
namespace tool {
namespace {

constexpr std::uint16_t kImplicitSmtp = 465;
constexpr std::uint16_t kSubmission = 587;
constexpr std::uint16_t kImplicitPop3 = 995;
constexpr std::uint16_t kPop3 = 110;

// What the probe found, for its verdict.
struct Finding {
  ResultCode code = 0;     // the call's code where it could not get that far
  std::uint8_t offer = 0;  // the EHLO flags, STARTTLS bit aside
  bool secure = false;     // the EHLO that counts came inside TLS
};

// The record a call would have; a text too long for its field is refused
// (ToolError), never cut.
void FillSettings(const ProbeRequest& request, const std::string& log) {
  MailSettings settings = {};
  PutText(&settings, Field::kSMTPServerAddress, request.server, "--server");
  PutText(&settings, Field::kPOP3ServerAddress, request.server, "--server");
  PutText(&settings, Field::kMyHostFQDNName, request.hostName, "--host-name");
  PutText(&settings, Field::kLog, log, "log");
  settings.Kind = 1;
  settings.SMTPPortNo = request.port;
  settings.POP3PortNo = request.port;
  g_mailSettings = settings;
}

bool IsPop3(std::uint16_t port) { return port == kImplicitPop3 || port == kPop3; }

ResultCode Hello(Exchange& smtp, const MailSender& sender, const ProbeRequest& request,
                 Finding* finding) {
  ResultCode r = smtp.Command("EHLO " + request.hostName + "\r\n", LogLine::kHelloSendNg);
  if (r != 0) return r;
  finding->offer = smtp.ReadEhloReply(250);
  // 0 also for AUTH naming no mechanism known here: that is an answer.
  if (finding->offer == 0 && sender.lastReplyCode != 250) {
    return smtp.GiveUp(LogLine::kAuthEhloUnusable);
  }
  finding->secure = smtp.Secure();
  return 0;
}

bool IsSubmission(std::uint16_t port) { return port == kSubmission || port == kImplicitSmtp; }

// The SMTP side: greeting, EHLO, STARTTLS where offered, EHLO again, QUIT.
// The verdict goes by the EHLO the call would log in after: it stays in
// clear text off the submission ports and where CRAM-MD5 is offered there.
ResultCode ProbeSmtp(Exchange& smtp, const MailSender& sender, const ProbeRequest& request,
                     Finding* finding) {
  ResultCode r = smtp.Expect(220, LogLine::kGreetingNg);
  if (r == 0) r = Hello(smtp, sender, request, finding);
  if (r == 0 && !smtp.Secure() && (finding->offer & kStartTlsOffered) != 0) {
    const Finding clear = *finding;
    r = smtp.Command("STARTTLS\r\n", LogLine::kStartTlsSendNg);
    if (r == 0) r = smtp.ExpectStartTls(LogLine::kStartTlsNg);
    if (r == 0) r = smtp.StartTls(request.server.c_str(), LogLine::kStartTlsHandshakeNg);
    if (r == 0) r = Hello(smtp, sender, request, finding);
    if (!IsSubmission(request.port) || (clear.offer & kAuthCramMd5) != 0) *finding = clear;
  }
  if (r == 0 && smtp.SendQuit()) smtp.Close();
  return r;
}

ResultCode ProbePop3(Exchange& pop) {
  ResultCode r = pop.ExpectPopOk(LogLine::kPopGreetingNg);
  if (r == 0) r = pop.Command("QUIT\r\n", LogLine::kPopQuitSendNg);
  if (r == 0) r = pop.ExpectPopOk(LogLine::kPopQuitNg);
  if (r == 0) pop.Close();
  return r;
}

// No export probes a server, so the probe runs the library's own transport
// (MailSender, Exchange) where a send calls Tarnlet1 or Tarnlet2.
ResultCode Probe(const ProbeRequest& request, Finding* finding) {
  MailSender sender;
  char dotted[kDottedCapacity];
  const bool pop3 = IsPop3(request.port);
  ResultCode r = ResolveServer(sender, request.server.c_str(),
                               pop3 ? ServerRole::kPop3 : ServerRole::kSmtp, dotted);
  if (r != 0) return r;
  Exchange exchange(sender, GiveUpOrder::kCloseThenLog);
  r = exchange.Open(dotted, request.port,
                    {LogLine::kSmtpSocketNg, LogLine::kSmtpConnectNg, LogLine::kSmtpNonBlockingNg});
  if (r == 0 && (request.port == kImplicitSmtp || request.port == kImplicitPop3)) {
    r = exchange.StartTls(request.server.c_str(), pop3 ? LogLine::kPopTlsNg : LogLine::kSmtpTlsNg);
  }
  if (r != 0) return r;
  return pop3 ? ProbePop3(exchange) : ProbeSmtp(exchange, sender, request, finding);
}

std::string MechanismNames(std::uint8_t offer) {
  std::string names;
  const struct {
    std::uint8_t flag;
    const char* name;
  } kNames[] = {{kAuthCramMd5, "CRAM-MD5"}, {kAuthPlain, "PLAIN"},
                {kAuthLogin, "LOGIN"},      {kAuthDigestMd5, "DIGEST-MD5"},
                {kAuthXoauth2, "XOAUTH2"},  {kAuthOauthBearer, "OAUTHBEARER"}};
  for (const auto& known : kNames) {
    if (offer & known.flag) names += std::string(names.empty() ? "" : " ") + known.name;
  }
  return names;
}

// Whether a send with --auth login (Kind 1) could log in, by the rules the
// call follows; the exit status says it (0, or the code the call would
// return, made positive).
int Verdict(const ProbeRequest& request, const Finding& finding, std::ostream& out) {
  const std::uint8_t offer = finding.offer & static_cast<std::uint8_t>(~kStartTlsOffered);
  const bool submission = IsSubmission(request.port);
  const char* where = finding.secure ? " inside TLS" : " in clear text";
  if ((offer & kAuthCramMd5) != 0) {
    out << "verdict: --auth login can log in here: CRAM-MD5" << where << "\n";
    return 0;
  }
  if (!submission) {
    out << "verdict: --auth login on port " << request.port
        << " logs in with CRAM-MD5, which the server does not offer; try port 587 or 465\n";
    return 13;
  }
  if (finding.secure && (offer & (kAuthPlain | kAuthLogin)) != 0) {
    out << "verdict: --auth login can log in here: "
        << ((offer & kAuthPlain) != 0 ? "PLAIN" : "LOGIN") << " inside TLS\n";
    return 0;
  }
  if ((offer & kAuthNone) != 0) {
    out << "verdict: the server offers no login; --auth login sends RSET and goes on without "
           "one\n";
    return 0;
  }
  out << "verdict: no mechanism the library can use" << where;
  if (offer != 0) out << " (offered: " << MechanismNames(offer) << ")";
  out << "\n";
  return offer == 0 ? 13 : 32;
}

}  // namespace

int RunProbe(const ProbeRequest& request, std::ostream& out, std::ostream& err) {
  LogWatch log("");
  FillSettings(request, log.path());
  WatchOptions watch;
  watch.trace = true;
  TracePlatform platform(watch, out);
  Finding finding;
  Platform& system = NativePlatform();
  if (system.StartupSockets() != 0) {
    err << "tarnlet: the socket library could not be started\n";
    return 27;
  }
  finding.code = platform.Run([&] { return Probe(request, &finding); });
  system.CleanupSockets();
  std::memset(&g_mailSettings, 0, sizeof g_mailSettings);
  if (finding.code != 0) {
    out << "verdict: a call stops here: result " << finding.code << ": " << MeaningOf(finding.code)
        << "\n";
    for (const std::string& line : log.NewLines()) out << "  " << line << "\n";
    return static_cast<int>(-finding.code);
  }
  if (IsPop3(request.port)) {
    out << "verdict: POP before SMTP can reach this server"
        << (request.port == kImplicitPop3 ? " inside TLS" : "") << "\n";
    return 0;
  }
  return Verdict(request, finding, out);
}

}  // namespace tool
}  // namespace tarnlet
