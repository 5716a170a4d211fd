// The log lines of the TLS steps, kept together so they can join the
// library's other lines in one table.
#ifndef TARNLET_NET_TLS_LINES_H_
#define TARNLET_NET_TLS_LINES_H_

namespace tarnlet {

// The session could not be set up at all ("%d": the library's reason).
constexpr char kTlsStartNg[] = "SMTP SND : Tls Start Ng ErrCode=%d-105\r\n";
// The handshake failed: no TLS, an old version, the peer went away.
constexpr char kTlsHandshakeNg[] = "SMTP SND : Tls Handshake Ng ErrCode=%d-106\r\n";
// The certificate was refused ("%d": the verifier's reason).
constexpr char kTlsCertificateNg[] = "SMTP SND : Tls Certificate Ng ErrCode=%d-107\r\n";
// Implicit TLS on the SMTP port failed (-3).
constexpr char kSmtpTlsNg[] = "SMTP SND : Tls Connect Ng-108\r\n";
// STARTTLS could not be sent (-4), was not answered with 220 or was
// followed by bytes before the handshake (-13), or its handshake failed
// (-13).
constexpr char kStartTlsSendNg[] = "SMTP SND : StartTls Snd Ng-109\r\n";
constexpr char kStartTlsNg[] = "SMTP SND : StartTls Understand Ng-110\r\n";
constexpr char kStartTlsInjectedNg[] = "SMTP SND : StartTls Rcv Ng RcvDatLen=%d-111\r\n";
constexpr char kStartTlsHandshakeNg[] = "SMTP SND : StartTls Tls Connect Ng-112\r\n";
// AUTH PLAIN and AUTH LOGIN: a send failed (-4), or a reply was not the
// expected one (-13).
constexpr char kPlainSendNg[] = "SMTP SND : Auth Plain Snd Ng-113\r\n";
constexpr char kPlainNg[] = "SMTP SND : Auth Plain Understand Ng-114\r\n";
constexpr char kLoginSendNg[] = "SMTP SND : Auth Login Snd Ng-115\r\n";
constexpr char kLoginNg[] = "SMTP SND : Auth Login Understand Ng-116\r\n";
// Implicit TLS on the POP3 port failed (-12).
constexpr char kPopTlsNg[] = "POP3 BEFORE SMTP : Tls Connect Ng-117\r\n";

}  // namespace tarnlet

#endif  // TARNLET_NET_TLS_LINES_H_
