/* A 32-bit host as VBA, VB6 and old C programs are: it loads tarnlet.dll at
 * run time, looks up the decorated exports and calls them through stdcall
 * pointers, at each of the four 4-byte stack alignments. After every call
 * the stack pointer must be where it was before the arguments were pushed
 * (the callee removed them), ebx, esi, edi and ebp must hold what they held,
 * and the caller's record must be unchanged. A loopback peer in this program
 * accepts the messages.
 *
 * Usage: x86_host_test [DLL]   (default: tarnlet.dll beside the program) */
/* winsock2.h first: windows.h would otherwise pull in the old winsock.h. */
#include <winsock2.h>

#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "tarnlet.h"

/* ---- the call thunk ---- */

/* Not static: the thunk below reads and writes them behind the compiler's
 * back, so it must not assume it knows their values across a call. */
void* g_function;
const void* g_first;
const void* g_second;
unsigned g_lower; /* bytes below a 16-byte boundary before the pushes */
unsigned g_espBefore, g_espAfter, g_frame;
unsigned g_after[4]; /* ebx, esi, edi, ebp after the call */
int32_t g_result;

#define CANARY_EBX 0x1b1b1b1bu
#define CANARY_ESI 0x5e5e5e5eu
#define CANARY_EDI 0xd1d1d1d1u
#define CANARY_EBP 0xbebebebeu

/* Saves the host's registers, lowers esp to the requested alignment, loads
 * canaries into the callee-saved registers, pushes the two arguments, calls,
 * and records what the callee left behind. */
void AbiCall(void);
__asm__(
    ".text\n"
    ".globl _AbiCall\n"
    "_AbiCall:\n"
    "  pushl %ebp\n"
    "  pushl %ebx\n"
    "  pushl %esi\n"
    "  pushl %edi\n"
    "  movl %esp, _g_frame\n"
    "  andl $-16, %esp\n"
    "  subl _g_lower, %esp\n"
    "  movl %esp, _g_espBefore\n"
    "  pushl _g_second\n"
    "  pushl _g_first\n"
    "  movl $0x1b1b1b1b, %ebx\n"
    "  movl $0x5e5e5e5e, %esi\n"
    "  movl $0xd1d1d1d1, %edi\n"
    "  movl $0xbebebebe, %ebp\n"
    "  call *_g_function\n"
    "  movl %eax, _g_result\n"
    "  movl %esp, _g_espAfter\n"
    "  movl %ebx, _g_after\n"
    "  movl %esi, _g_after+4\n"
    "  movl %edi, _g_after+8\n"
    "  movl %ebp, _g_after+12\n"
    "  movl _g_frame, %esp\n"
    "  popl %edi\n"
    "  popl %esi\n"
    "  popl %ebx\n"
    "  popl %ebp\n"
    "  ret\n");

/* ---- the loopback peer: accepts one message per connection ---- */

static SOCKET g_listener = INVALID_SOCKET;
static unsigned short g_port;
static volatile LONG g_messages;

static int ReadLine(SOCKET s, char* line, int capacity) {
  int used = 0;
  while (used < capacity - 1) {
    int got = recv(s, line + used, 1, 0);
    if (got <= 0) return -1;
    if (line[used++] == '\n') break;
  }
  line[used] = '\0';
  return used;
}

static void Reply(SOCKET s, const char* text) { send(s, text, (int)strlen(text), 0); }

static DWORD WINAPI Serve(LPVOID unused) {
  char line[2048];
  (void)unused;
  for (;;) {
    SOCKET s = accept(g_listener, NULL, NULL);
    if (s == INVALID_SOCKET) return 0;
    Reply(s, "220 peer ready\r\n");
    while (ReadLine(s, line, sizeof line) > 0) {
      if (strncmp(line, "DATA", 4) == 0) {
        Reply(s, "354 go ahead\r\n");
        while (ReadLine(s, line, sizeof line) > 0 && strcmp(line, ".\r\n") != 0) {
        }
        InterlockedIncrement(&g_messages);
        Reply(s, "250 queued\r\n");
      } else if (strncmp(line, "QUIT", 4) == 0) {
        Reply(s, "221 bye\r\n");
        break;
      } else {
        Reply(s, "250 ok\r\n");
      }
    }
    closesocket(s);
  }
}

static int StartPeer(void) {
  WSADATA data;
  struct sockaddr_in address;
  int length = sizeof address;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return 0;
  g_listener = socket(AF_INET, SOCK_STREAM, 0);
  memset(&address, 0, sizeof address);
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(g_listener, (struct sockaddr*)&address, sizeof address) != 0 ||
      listen(g_listener, 4) != 0 ||
      getsockname(g_listener, (struct sockaddr*)&address, &length) != 0) {
    return 0;
  }
  g_port = ntohs(address.sin_port);
  return CreateThread(NULL, 0, Serve, NULL, 0, NULL) != NULL;
}

/* ---- the cases ---- */

static void Put(char* field, size_t width, const char* text) {
  memset(field, 0, width);
  strncpy(field, text, width - 1);
}
#define PUT(record, field, text) Put((record).field, sizeof(record).field, text)

static void FillRecord(MailSettings* record) {
  memset(record, 0, sizeof *record);
  record->SMTPPortNo = g_port;
  record->POP3PortNo = 110;
  PUT(*record, SMTPServerAddress, "127.0.0.1");
  PUT(*record, POP3ServerAddress, "127.0.0.1");
  PUT(*record, Address, "to@example.jp");
  PUT(*record, Subject, "ABI");
  PUT(*record, MyHostFQDNName, "host.example.jp");
  PUT(*record, MyMailAddress, "from@example.jp");
}

static int WriteIni(const char* path) {
  FILE* file = fopen(path, "wb");
  if (file == NULL) return 0;
  fprintf(file,
          "[AUTH]\r\nKind=0\r\nSMTPPortNo=%u\r\nSMTPServerAddress=127.0.0.1\r\n"
          "POP3ServerAddress=127.0.0.1\r\n[SEND]\r\nAddress=to@example.jp\r\nSubject=ABI\r\n"
          "[ETC]\r\nMyHostFQDNName=host.example.jp\r\nMyMailAddress=from@example.jp\r\n",
          g_port);
  fclose(file);
  return 1;
}

static int g_passed, g_failed;

/* One call at one alignment; prints one line and counts it. */
static void Check(const char* name, void* function, const void* first, const void* second,
                  const MailSettings* record, int32_t expected, int expectedMessages,
                  unsigned alignment) {
  const unsigned canaries[4] = {CANARY_EBX, CANARY_ESI, CANARY_EDI, CANARY_EBP};
  MailSettings copy;
  LONG before = g_messages;
  char problem[200] = "";
  int i;
  if (record != NULL) memcpy(&copy, record, sizeof copy);
  g_function = function;
  g_first = first;
  g_second = second;
  g_lower = (16 - (alignment + 8) % 16) % 16; /* esp % 16 == alignment at the call */
  AbiCall();
  if (g_result != expected) {
    sprintf(problem, "result %d, want %d", (int)g_result, (int)expected);
  } else if ((g_espBefore - 8) % 16 != alignment) {
    sprintf(problem, "called at esp %% 16 = %u", (g_espBefore - 8) % 16);
  } else if (g_espAfter != g_espBefore) {
    sprintf(problem, "esp moved by %d bytes", (int)(g_espAfter - g_espBefore));
  } else if (g_messages - before != expectedMessages) {
    sprintf(problem, "%ld messages arrived, want %d", (long)(g_messages - before),
            expectedMessages);
  } else if (record != NULL && memcmp(&copy, record, sizeof copy) != 0) {
    sprintf(problem, "the caller's record was written");
  }
  for (i = 0; i < 4 && problem[0] == '\0'; ++i) {
    static const char* const names[4] = {"ebx", "esi", "edi", "ebp"};
    if (g_after[i] != canaries[i]) {
      sprintf(problem, "%s changed to %08x", names[i], g_after[i]);
    }
  }
  printf("%-32s esp%%16=%-2u %s %s\n", name, alignment, problem[0] ? "FAILED:" : "ok", problem);
  if (problem[0]) {
    ++g_failed;
  } else {
    ++g_passed;
  }
}

int main(int argc, char** argv) {
  const char* dll = argc > 1 ? argv[1] : "tarnlet.dll";
  HMODULE library = LoadLibraryA(dll);
  void* tarnlet1;
  void* tarnlet2;
  MailSettings empty, record;
  char ini[MAX_PATH];
  unsigned alignment;
  if (library == NULL) {
    printf("cannot load %s (error %lu)\n0 passed, 1 failed\n", dll, GetLastError());
    return 1;
  }
  tarnlet1 = (void*)GetProcAddress(library, "_Tarnlet1@8");
  tarnlet2 = (void*)GetProcAddress(library, "_Tarnlet2@8");
  if (tarnlet1 == NULL || tarnlet2 == NULL || !StartPeer()) {
    printf("no decorated exports in %s, or no loopback peer\n0 passed, 1 failed\n", dll);
    return 1;
  }
  GetTempPathA(sizeof ini - 32, ini);
  sprintf(ini + strlen(ini), "tarnlet-abi-%lu.ini", GetCurrentProcessId());
  if (!WriteIni(ini)) {
    printf("cannot write %s\n0 passed, 1 failed\n", ini);
    return 1;
  }
  FillRecord(&empty);
  PUT(empty, Address, "");
  FillRecord(&record);
  for (alignment = 0; alignment < 16; alignment += 4) {
    Check("Tarnlet1 without recipients", tarnlet1, "", &empty, &empty, -32, 0, alignment);
    Check("Tarnlet1 to the loopback peer", tarnlet1, "Hello\r\n", &record, &record, 0, 1,
          alignment);
    Check("Tarnlet2 with an INI file", tarnlet2, "Hello\r\n", ini, NULL, 0, 1, alignment);
  }
  DeleteFileA(ini);
  printf("%d passed, %d failed\n", g_passed, g_failed);
  return g_failed == 0 ? 0 : 1;
}
