/* Tarnlet: sends one mail message per call.
 *
 * Public interface for host programs. Compiles as C and as C++.
 * Both exports return 0 on success and a negative result code on failure;
 * the reason for a failure is written to the log file named in the settings.
 */
#ifndef TARNLET_H_
#define TARNLET_H_

/* The release this header belongs to, for a host to check at build time
 * (e.g. #if TARNLET_VERSION_MAJOR != 1). */
#define TARNLET_VERSION_MAJOR 1
#define TARNLET_VERSION_MINOR 2
#define TARNLET_VERSION_PATCH 0
#define TARNLET_VERSION_TEXT_(n) #n
#define TARNLET_VERSION_TEXT(n) TARNLET_VERSION_TEXT_(n)
#define TARNLET_VERSION_STRING                \
  TARNLET_VERSION_TEXT(TARNLET_VERSION_MAJOR) \
  "." TARNLET_VERSION_TEXT(TARNLET_VERSION_MINOR) "." TARNLET_VERSION_TEXT(TARNLET_VERSION_PATCH)

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32) && !defined(_WIN64)
#define TARNLET_CALL __stdcall
#else
#define TARNLET_CALL
#endif

#if defined(TARNLET_BUILDING_LIBRARY) && !defined(_WIN32)
#define TARNLET_EXPORT __attribute__((visibility("default")))
#else
#define TARNLET_EXPORT
#endif

/* No exception leaves an export. */
#ifdef __cplusplus
#define TARNLET_NOEXCEPT noexcept
#else
#define TARNLET_NOEXCEPT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The settings record: a packed binary layout of 7946 bytes. Text fields are
 * NUL-terminated Shift-JIS (code page 932) and must end within their width. */
#pragma pack(push, 1)
typedef struct MailSettings {
  int16_t Startup; /* non-zero: the call starts and stops the socket library */
  int16_t Kind;    /* 0 plain SMTP, 1 SMTP AUTH CRAM-MD5, 2 POP before SMTP */
  int16_t APOP;    /* non-zero: POP3 login with APOP instead of USER/PASS */
  char UserName[256];
  char Password[256];
  uint16_t SMTPPortNo;
  uint16_t POP3PortNo;
  char SMTPServerAddress[256]; /* host name or dotted IPv4 literal */
  char POP3ServerAddress[256];
  char Address[1024]; /* To list, ';'-separated */
  char Cc[1024];
  char Bcc[1024];
  char Subject[256];
  char sReply_To[1024];
  char Boundary[256];
  char X_MailerName[256];
  char MyHostFQDNName[256];
  char MyMailAddress[256];
  char MyMailAddressComt[256]; /* sender display text */
  char AppendFile[1024];       /* attachment paths, ';'-separated */
  char Log[256];               /* log file path; empty: no log */
} MailSettings;
#pragma pack(pop)

#define TARNLET_SETTINGS_SIZE 7946

#if defined(__cplusplus)
#define TARNLET_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
#define TARNLET_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#else
#define TARNLET_STATIC_ASSERT(cond, msg) extern char tarnlet_static_assert[(cond) ? 1 : -1]
#endif

TARNLET_STATIC_ASSERT(sizeof(MailSettings) == TARNLET_SETTINGS_SIZE, "MailSettings size");
TARNLET_STATIC_ASSERT(offsetof(MailSettings, Startup) == 0, "Startup");
TARNLET_STATIC_ASSERT(offsetof(MailSettings, Kind) == 2, "Kind");
TARNLET_STATIC_ASSERT(offsetof(MailSettings, APOP) == 4, "APOP");
TARNLET_STATIC_ASSERT(offsetof(MailSettings, UserName) == 6, "UserName");
TARNLET_STATIC_ASSERT(offsetof(MailSettings, Password) == 262, "Password");
TARNLET_STATIC_ASSERT(offsetof(MailSettings, SMTPPortNo) == 518, "SMTPPortNo");
TARNLET_STATIC_ASSERT(offsetof(MailSettings, POP3PortNo) == 520, "POP3PortNo");
TARNLET_STATIC_ASSERT(offsetof(MailSettings, SMTPServerAddress) == 522, "SMTPServerAddress");
TARNLET_STATIC_ASSERT(offsetof(MailSettings, POP3ServerAddress) == 778, "POP3ServerAddress");
TARNLET_STATIC_ASSERT(offsetof(MailSettings, Address) == 1034, "Address");
TARNLET_STATIC_ASSERT(offsetof(MailSettings, Cc) == 2058, "Cc");
TARNLET_STATIC_ASSERT(offsetof(MailSettings, Bcc) == 3082, "Bcc");
TARNLET_STATIC_ASSERT(offsetof(MailSettings, Subject) == 4106, "Subject");
TARNLET_STATIC_ASSERT(offsetof(MailSettings, sReply_To) == 4362, "sReply_To");
TARNLET_STATIC_ASSERT(offsetof(MailSettings, Boundary) == 5386, "Boundary");
TARNLET_STATIC_ASSERT(offsetof(MailSettings, X_MailerName) == 5642, "X_MailerName");
TARNLET_STATIC_ASSERT(offsetof(MailSettings, MyHostFQDNName) == 5898, "MyHostFQDNName");
TARNLET_STATIC_ASSERT(offsetof(MailSettings, MyMailAddress) == 6154, "MyMailAddress");
TARNLET_STATIC_ASSERT(offsetof(MailSettings, MyMailAddressComt) == 6410, "MyMailAddressComt");
TARNLET_STATIC_ASSERT(offsetof(MailSettings, AppendFile) == 6666, "AppendFile");
TARNLET_STATIC_ASSERT(offsetof(MailSettings, Log) == 7690, "Log");

/* Sends one message described by the caller's record. body: NUL-terminated
 * Shift-JIS text, may be empty. Neither pointer is kept after the call. */
TARNLET_EXPORT int32_t TARNLET_CALL Tarnlet1(const char* body,
                                             const MailSettings* settings) TARNLET_NOEXCEPT;

/* Same, with the settings read from an INI file (sections INIT, AUTH, SEND,
 * ETC, FILE). */
TARNLET_EXPORT int32_t TARNLET_CALL Tarnlet2(const char* body,
                                             const char* iniPath) TARNLET_NOEXCEPT;

#ifdef __cplusplus
}
#endif

#endif /* TARNLET_H_ */
