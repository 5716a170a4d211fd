// The peer's certificate under SChannel: checked here, not by SChannel
// (some SChannels accept an unknown CA or a partial chain, so the chain's
// own status is refused too), with the verifier's reasons numbered as the
// other backend numbers them; and what the trace shows of the session.
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/system_platform.h"
#include "platform/tls_text.h"
#include "platform/win32/tls_session.h"

namespace tarnlet {
namespace {

constexpr int kSignatureBad = 7;
constexpr int kNotYetValid = 9;
constexpr int kExpired = 10;
constexpr int kSelfSignedLeaf = 18;
constexpr int kSelfSignedInChain = 19;
constexpr int kUnknownIssuer = 20;
constexpr int kRevoked = 23;
constexpr int kWrongPurpose = 26;
constexpr int kNameMismatch = 62;

// The verifier's reason for the first fault in the chain's status; the
// revocation checks that could not be made are no fault (none are asked).
int ChainFault(DWORD status, PCCERT_CHAIN_CONTEXT chain, PCCERT_CONTEXT leaf) {
  status &=
      ~static_cast<DWORD>(CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION);
  if (status == 0) return 0;
  if (status & CERT_TRUST_IS_PARTIAL_CHAIN) return kUnknownIssuer;
  if (status & CERT_TRUST_IS_UNTRUSTED_ROOT) {
    const bool alone = chain->cChain > 0 && chain->rgpChain[0]->cElement == 1;
    return alone ? kSelfSignedLeaf : kSelfSignedInChain;
  }
  if (status & CERT_TRUST_IS_NOT_SIGNATURE_VALID) return kSignatureBad;
  if (status & CERT_TRUST_IS_REVOKED) return kRevoked;
  if (status & CERT_TRUST_IS_NOT_TIME_VALID) {
    return ::CertVerifyTimeValidity(nullptr, leaf->pCertInfo) < 0 ? kNotYetValid : kExpired;
  }
  if (status & CERT_TRUST_IS_NOT_VALID_FOR_USAGE) return kWrongPurpose;
  return static_cast<int>(status);
}

int PolicyFault(LONG error) {
  switch (static_cast<HRESULT>(error)) {
    case 0:
      return 0;
    case CERT_E_CN_NO_MATCH:
      return kNameMismatch;
    case CERT_E_EXPIRED:
      return kExpired;
    case CERT_E_UNTRUSTEDROOT:
      return kSelfSignedInChain;
    case CERT_E_CHAINING:
      return kUnknownIssuer;
    case CERT_E_WRONG_USAGE:
      return kWrongPurpose;
    case CRYPT_E_REVOKED:
      return kRevoked;
    default:
      return static_cast<int>(error);
  }
}

// "/C=JP/O=Example/CN=mx.example.jp", as the other backend writes names.
void NameText(const CERT_NAME_BLOB& name, char* out, std::size_t capacity) {
  char text[256];
  const DWORD flags = CERT_X500_NAME_STR | CERT_NAME_STR_REVERSE_FLAG | CERT_NAME_STR_CRLF_FLAG |
                      CERT_NAME_STR_NO_QUOTING_FLAG;
  if (::CertNameToStrA(X509_ASN_ENCODING, const_cast<CERT_NAME_BLOB*>(&name), flags, text,
                       sizeof text) <= 1) {
    std::snprintf(out, capacity, "(none)");
    return;
  }
  std::string slashed = "/";
  for (const char* p = text; *p != '\0'; ++p) {
    if (p[0] == '\r' && p[1] == '\n') {
      slashed += '/';
      ++p;
    } else {
      slashed += *p;
    }
  }
  std::snprintf(out, capacity, "%s", slashed.c_str());
}

std::string Narrow(const wchar_t* wide) {
  std::string text;
  for (; *wide != L'\0'; ++wide) text += *wide < 0x80 ? static_cast<char>(*wide) : '?';
  return text;
}

void NoteNames(TlsSession* session, PCCERT_CONTEXT leaf) {
  const CERT_INFO* info = leaf->pCertInfo;
  PCERT_EXTENSION extension =
      ::CertFindExtension(szOID_SUBJECT_ALT_NAME2, info->cExtension, info->rgExtension);
  CERT_ALT_NAME_INFO* names = nullptr;
  DWORD size = 0;
  std::string text;
  if (extension != nullptr &&
      ::CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ALTERNATE_NAME, extension->Value.pbData,
                            extension->Value.cbData, CRYPT_DECODE_ALLOC_FLAG, nullptr, &names,
                            &size)) {
    for (DWORD i = 0; i < names->cAltEntry; ++i) {
      const CERT_ALT_NAME_ENTRY& entry = names->rgAltEntry[i];
      std::string one;
      if (entry.dwAltNameChoice == CERT_ALT_NAME_DNS_NAME) {
        one = Narrow(entry.pwszDNSName);
      } else if (entry.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS && entry.IPAddress.cbData == 4) {
        one = DottedIpv4(entry.IPAddress.pbData);
      } else {
        continue;
      }
      text += (text.empty() ? "" : ", ") + one;
    }
    ::LocalFree(names);
  }
  std::snprintf(session->names, sizeof session->names, "%s",
                text.empty() ? "(none)" : text.c_str());
  SYSTEMTIME from{};
  SYSTEMTIME to{};
  ::FileTimeToSystemTime(&info->NotBefore, &from);
  ::FileTimeToSystemTime(&info->NotAfter, &to);
  std::snprintf(session->dates, sizeof session->dates,
                "%04u-%02u-%02u %02u:%02u UTC to %04u-%02u-%02u %02u:%02u UTC", from.wYear,
                from.wMonth, from.wDay, from.wHour, from.wMinute, to.wYear, to.wMonth, to.wDay,
                to.wHour, to.wMinute);
}

int CheckChain(TlsSession* session, PCCERT_CONTEXT leaf) {
  char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
  LPSTR usages[] = {serverAuth};
  CERT_CHAIN_PARA para{};
  para.cbSize = sizeof para;
  para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
  para.RequestedUsage.Usage.cUsageIdentifier = 1;
  para.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
  PCCERT_CHAIN_CONTEXT chain = nullptr;
  if (!::CertGetCertificateChain(nullptr, leaf, nullptr, leaf->hCertStore, &para, 0, nullptr,
                                 &chain) ||
      chain == nullptr) {
    return kUnknownIssuer;
  }
  int fault = ChainFault(chain->TrustStatus.dwErrorStatus, chain, leaf);
  if (fault == 0) {
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA extra{};
    extra.cbSize = sizeof extra;
    extra.dwAuthType = AUTHTYPE_SERVER;
    extra.pwszServerName = session->wideHost;
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof policy;
    policy.pvExtraPolicyPara = &extra;
    CERT_CHAIN_POLICY_STATUS verdict{};
    verdict.cbSize = sizeof verdict;
    fault = ::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &verdict)
                ? PolicyFault(verdict.dwError)
                : kUnknownIssuer;
  }
  ::CertFreeCertificateChain(chain);
  return fault;
}

// The verifier's reasons in the other backend's words.
const char* Verdict(int verdict) {
  switch (verdict) {
    case -1:
      return "not checked: the handshake did not finish";
    case 0:
      return "verified";
    case kSignatureBad:
      return "refused: certificate signature failure";
    case kNotYetValid:
      return "refused: certificate is not yet valid";
    case kExpired:
      return "refused: certificate has expired";
    case kSelfSignedLeaf:
      return "refused: self-signed certificate";
    case kSelfSignedInChain:
      return "refused: self-signed certificate in certificate chain";
    case kUnknownIssuer:
      return "refused: unable to get local issuer certificate";
    case kRevoked:
      return "refused: certificate revoked";
    case kWrongPurpose:
      return "refused: unsupported certificate purpose";
    case kNameMismatch:
      return "refused: hostname mismatch";
    default:
      return "refused";
  }
}

// The agreed cipher suite by its name; the algorithms' numbers where the
// system cannot name it.
std::string CipherName(TlsSession* session) {
  SecPkgContext_CipherInfo cipher{};
  cipher.dwVersion = SECPKGCONTEXT_CIPHERINFO_V1;
  if (::QueryContextAttributesW(&session->context, SECPKG_ATTR_CIPHER_INFO, &cipher) == SEC_E_OK &&
      cipher.szCipherSuite[0] != L'\0') {
    return Narrow(cipher.szCipherSuite);
  }
  SecPkgContext_ConnectionInfo info{};
  if (::QueryContextAttributesA(&session->context, SECPKG_ATTR_CONNECTION_INFO, &info) !=
      SEC_E_OK) {
    return "no cipher agreed";
  }
  char text[64];
  std::snprintf(text, sizeof text, "cipher 0x%04x, %u bits", static_cast<unsigned>(info.aiCipher),
                static_cast<unsigned>(info.dwCipherStrength));
  return text;
}

}  // namespace

int VerifyPeer(TlsSession* session) {
  PCCERT_CONTEXT leaf = nullptr;
  if (::QueryContextAttributesA(&session->context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &leaf) !=
          SEC_E_OK ||
      leaf == nullptr) {
    return kUnknownIssuer;
  }
  NameText(leaf->pCertInfo->Subject, session->subject, sizeof session->subject);
  NameText(leaf->pCertInfo->Issuer, session->issuer, sizeof session->issuer);
  NoteNames(session, leaf);
  const int fault = CheckChain(session, leaf);
  ::CertFreeCertificateContext(leaf);
  return fault;
}

void NoteFirstBytes(TlsSession* session, const char* bytes, std::size_t count) {
  if (session->sawBytes) return;
  session->sawBytes = true;
  session->clearText = !BeginsLikeTls(bytes, count);
  if (session->clearText) {
    FirstLine(bytes, count, session->firstBytes, sizeof session->firstBytes);
  }
}

void SystemPlatform::DescribeTls(TlsHandle tls, char* out, std::size_t capacity) {
  if (capacity == 0) return;
  TlsSession* session = static_cast<TlsSession*>(tls);
  std::string text;
  if (session->clearText && !session->established) {
    text = std::string("the server answered without TLS: \"") + session->firstBytes +
           "\" (not a TLS port?)";
  } else {
    std::string verdict = Verdict(session->verdict);
    if (session->verdict == -1 && session->failure != 0) {
      char status[48];
      std::snprintf(status, sizeof status, "not checked: SChannel status 0x%08lx",
                    static_cast<unsigned long>(session->failure));
      verdict = status;
    }
    text = std::string(session->haveContext && session->verdict != -1 ? "TLSv1.2" : "TLS") + ", " +
           (session->verdict != -1 ? CipherName(session) : std::string("no cipher agreed")) +
           ", certificate " + session->subject + " issued by " + session->issuer + ": " + verdict;
    if (session->dates[0] != '\0') {
      text += std::string("\ncertificate names ") + session->names + "; valid " + session->dates;
    }
  }
  std::snprintf(out, capacity, "%s", text.c_str());
}

}  // namespace tarnlet
