// Token requests through libcurl (Debian's libcurl4, OpenSSL flavour). The
// endpoint's certificate is checked as the SMTP server's is: OpenSSL's
// default paths, which SSL_CERT_FILE and SSL_CERT_DIR may move, and no CA
// bundle of curl's own. Curl's proxy variables apply as curl reads them.
#include <curl/curl.h>
#include <errno.h>
#include <openssl/ssl.h>

#include <cstring>

#include "platform/system_platform.h"

namespace tarnlet {
namespace {

struct Sink {
  char* body;
  std::size_t capacity;
  std::size_t length;
  bool tooLong;
};

std::size_t Collect(char* data, std::size_t size, std::size_t count, void* user) {
  Sink* sink = static_cast<Sink*>(user);
  const std::size_t bytes = size * count;
  std::size_t room = sink->capacity - sink->length;
  std::size_t take = bytes < room ? bytes : room;
  std::memcpy(sink->body + sink->length, data, take);
  sink->length += take;
  if (take < bytes) sink->tooLong = true;
  return bytes;  // the rest is dropped, the request still ends normally
}

CURLcode TrustAsSmtp(CURL*, void* context, void*) {
  SSL_CTX* ssl = static_cast<SSL_CTX*>(context);
  if (SSL_CTX_set_default_verify_paths(ssl) != 1) return CURLE_SSL_CACERT_BADFILE;
  return SSL_CTX_set_min_proto_version(ssl, TLS1_2_VERSION) == 1 ? CURLE_OK
                                                                 : CURLE_SSL_CONNECT_ERROR;
}

HttpsOutcome OutcomeOf(CURLcode code) {
  switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
      return HttpsOutcome::kUnreachable;
    case CURLE_OPERATION_TIMEDOUT:
      return HttpsOutcome::kTimedOut;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CERTPROBLEM:
      return HttpsOutcome::kCertificate;
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
      return HttpsOutcome::kRefusedUrl;
    default:
      return HttpsOutcome::kFailed;
  }
}

class Easy {
 public:
  Easy() : curl_(curl_easy_init()) {}
  ~Easy() {
    if (headers_ != nullptr) curl_slist_free_all(headers_);
    if (curl_ != nullptr) curl_easy_cleanup(curl_);
  }
  Easy(const Easy&) = delete;
  Easy& operator=(const Easy&) = delete;

  CURL* get() const { return curl_; }
  bool AddHeader(const char* line) {
    curl_slist* more = curl_slist_append(headers_, line);
    if (more == nullptr) return false;
    headers_ = more;
    return true;
  }
  curl_slist* headers() const { return headers_; }

 private:
  CURL* curl_;
  curl_slist* headers_ = nullptr;
};

bool IsHttps(const char* url) { return std::strncmp(url, "https://", 8) == 0; }

}  // namespace

HttpsAnswer SystemPlatform::PostForm(const char* url, const char* form, std::size_t formLength,
                                     unsigned timeoutSeconds, char* body, std::size_t capacity) {
  HttpsAnswer answer{HttpsOutcome::kFailed, 0, 0, 0, false};
  if (!IsHttps(url)) {
    answer.outcome = HttpsOutcome::kRefusedUrl;
    return answer;
  }
  Easy easy;
  CURL* curl = easy.get();
  if (curl == nullptr || !easy.AddHeader("Accept: application/json")) {
    answer.error = ENOMEM;
    return answer;
  }
  Sink sink{body, capacity, 0, false};
  bool set =
      curl_easy_setopt(curl, CURLOPT_URL, url) == CURLE_OK &&
      curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "https") == CURLE_OK &&
      curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L) == CURLE_OK &&
      curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
      curl_easy_setopt(curl, CURLOPT_TIMEOUT, static_cast<long>(timeoutSeconds)) == CURLE_OK &&
      curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L) == CURLE_OK &&
      curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L) == CURLE_OK &&
      curl_easy_setopt(curl, CURLOPT_CAINFO, nullptr) == CURLE_OK &&
      curl_easy_setopt(curl, CURLOPT_CAPATH, nullptr) == CURLE_OK &&
      curl_easy_setopt(curl, CURLOPT_SSL_CTX_FUNCTION, TrustAsSmtp) == CURLE_OK &&
      curl_easy_setopt(curl, CURLOPT_POST, 1L) == CURLE_OK &&
      curl_easy_setopt(curl, CURLOPT_POSTFIELDS, form) == CURLE_OK &&
      curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(formLength)) ==
          CURLE_OK &&
      curl_easy_setopt(curl, CURLOPT_HTTPHEADER, easy.headers()) == CURLE_OK &&
      curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect) == CURLE_OK &&
      curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink) == CURLE_OK;
  if (!set) return answer;
  const CURLcode code = curl_easy_perform(curl);
  answer.bodyLength = sink.length;
  answer.bodyTooLong = sink.tooLong;
  if (code != CURLE_OK) {
    answer.outcome = OutcomeOf(code);
    long osError = 0;
    curl_easy_getinfo(curl, CURLINFO_OS_ERRNO, &osError);
    answer.error = osError != 0 ? static_cast<int>(osError) : static_cast<int>(code);
    return answer;
  }
  long status = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  answer.outcome = HttpsOutcome::kAnswered;
  answer.status = static_cast<int>(status);
  return answer;
}

}  // namespace tarnlet
