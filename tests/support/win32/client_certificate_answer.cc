#include "support/client_certificate_answer.h"

#include <windows.h>
#ifndef SECURITY_WIN32
#define SECURITY_WIN32
#endif
#include <security.h>

#include <atomic>
#include <cstring>

namespace tarnlet {
namespace testing {
namespace {

using Initialize = decltype(&InitializeSecurityContextA);

std::atomic<Initialize> g_real{nullptr};
std::atomic<int> g_mode{ClientCertificateAnswer::kAsWindows};
std::atomic<int> g_given{0};

// Whether the server's bytes hold a CertificateRequest (handshake type 13)
// in clear-text handshake records, as in a TLS 1.2 server's first flight.
bool AsksForCertificate(const SecBufferDesc* input) {
  if (input == nullptr || input->cBuffers == 0) return false;
  const SecBuffer& token = input->pBuffers[0];
  const auto* bytes = static_cast<const unsigned char*>(token.pvBuffer);
  std::size_t length = token.cbBuffer;
  // The handshake messages, joined across records.
  unsigned char messages[0x10000];
  std::size_t joined = 0;
  for (std::size_t at = 0; at + 5 <= length && bytes[at] == 22;) {
    const std::size_t size = static_cast<std::size_t>(bytes[at + 3]) << 8 | bytes[at + 4];
    if (at + 5 + size > length || joined + size > sizeof messages) break;
    std::memcpy(messages + joined, bytes + at + 5, size);
    joined += size;
    at += 5 + size;
  }
  // Only clear-text messages tile their records exactly; an encrypted
  // record (the server's Finished) does not, whatever its first byte.
  bool asks = false;
  std::size_t at = 0;
  while (at + 4 <= joined) {
    asks = asks || messages[at] == 13;
    at += 4 + (static_cast<std::size_t>(messages[at + 1]) << 16 |
               static_cast<std::size_t>(messages[at + 2]) << 8 | messages[at + 3]);
  }
  return asks && at == joined;
}

SECURITY_STATUS SEC_ENTRY AnswerAsWindows(PCredHandle credentials, PCtxtHandle context,
                                          SEC_CHAR* target, ULONG flags, ULONG reserved1,
                                          ULONG representation, PSecBufferDesc input,
                                          ULONG reserved2, PCtxtHandle newContext,
                                          PSecBufferDesc output, PULONG attributes,
                                          PTimeStamp expiry) {
  const bool goOnWithout = (flags & ISC_REQ_USE_SUPPLIED_CREDS) != 0;
  if (context != nullptr && AsksForCertificate(input) &&
      (!goOnWithout || g_mode == ClientCertificateAnswer::kAlways)) {
    ++g_given;
    return SEC_I_INCOMPLETE_CREDENTIALS;  // nothing taken, nothing made
  }
  return g_real.load()(credentials, context, target, flags, reserved1, representation, input,
                       reserved2, newContext, output, attributes, expiry);
}

// The slot of the program's import table through which it calls function
// of dll.
void** ImportSlot(const char* dll, const char* function) {
  auto* base = reinterpret_cast<unsigned char*>(::GetModuleHandleA(nullptr));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       entry->Name != 0; ++entry) {
    if (::lstrcmpiA(reinterpret_cast<const char*>(base + entry->Name), dll) != 0) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const auto* named =
          reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(named->Name), function) == 0) {
        return reinterpret_cast<void**>(&slots->u1.Function);
      }
    }
  }
  return nullptr;
}

void Store(void** slot, void* value) {
  DWORD old = 0;
  ::VirtualProtect(slot, sizeof value, PAGE_READWRITE, &old);
  *slot = value;
  ::VirtualProtect(slot, sizeof value, old, &old);
}

void** Slot() {
  static void** const slot = ImportSlot("secur32.dll", "InitializeSecurityContextA");
  return slot;
}

}  // namespace

ClientCertificateAnswer::ClientCertificateAnswer(Mode mode) {
  g_mode = mode;
  g_given = 0;
  void** slot = Slot();
  if (slot == nullptr) return;
  g_real = reinterpret_cast<Initialize>(*slot);
  Store(slot, reinterpret_cast<void*>(&AnswerAsWindows));
}

ClientCertificateAnswer::~ClientCertificateAnswer() {
  void** slot = Slot();
  if (slot != nullptr && g_real.load() != nullptr)
    Store(slot, reinterpret_cast<void*>(g_real.load()));
}

int ClientCertificateAnswer::given() const { return g_given; }

}  // namespace testing
}  // namespace tarnlet
