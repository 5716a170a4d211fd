// The codecs beside what a host would otherwise call: glibc iconv for
// CP932 to ISO-2022-JP, OpenSSL for base64 and MD5. Same input, same run.
#include <benchmark/benchmark.h>
#include <iconv.h>
#include <openssl/evp.h>
#include <openssl/md5.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "codec/base64.h"
#include "codec/iso2022jp.h"
#include "codec/md5.h"

// OpenSSL's one-shot MD5 is deprecated in 3.0 but is what most code calls.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace tarnlet {
namespace {

// Business mail text with no half-width katakana, which ISO-2022-JP cannot
// carry and iconv rejects; both converters then produce the same bytes.
std::string MailText(std::size_t size) {
  static const char* const kLines[] = {
      // お世話になっております。株式会社タンレットの山田です。
      "\x82\xa8\x90\xa2\x98\x62\x82\xc9\x82\xc8\x82\xc1\x82\xc4\x82\xa8\x82\xe8\x82\xdc\x82\xb7"
      "\x81\x42\x8a\x94\x8e\xae\x89\xef\x8e\xd0\x83\x5e\x83\x93\x83\x8c\x83\x62\x83\x67\x82\xcc"
      "\x8e\x52\x93\x63\x82\xc5\x82\xb7\x81\x42\r\n",
      // 来週の会議資料（第3版）を添付いたします。データベースの件はメールでご確認ください。
      "\x97\x88\x8f\x54\x82\xcc\x89\xef\x8b\x63\x8e\x91\x97\xbf\x81\x69\x91\xe6\x33\x94\xc5\x81"
      "\x6a\x82\xf0\x93\x59\x95\x74\x82\xa2\x82\xbd\x82\xb5\x82\xdc\x82\xb7\x81\x42\x83\x66\x81"
      "\x5b\x83\x5e\x83\x78\x81\x5b\x83\x58\x82\xcc\x8c\x8f\x82\xcd\x83\x81\x81\x5b\x83\x8b\x82"
      "\xc5\x82\xb2\x8a\x6d\x94\x46\x82\xad\x82\xbe\x82\xb3\x82\xa2\x81\x42\r\n",
      "Tel: 03-1234-5678  https://example.com/docs/2024/plan.pdf\r\n",
      "\r\n",
  };
  std::string text;
  for (std::size_t i = 0; text.size() < size; ++i) text += kLines[i % 4];
  return text;
}

std::size_t IconvConvert(iconv_t cd, const std::string& in, std::vector<char>* out) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* source = const_cast<char*>(in.data());
  std::size_t left = in.size();
  char* target = out->data();
  std::size_t room = out->size();
  if (iconv(cd, &source, &left, &target, &room) == static_cast<std::size_t>(-1)) return 0;
  iconv(cd, nullptr, nullptr, &target, &room);  // the closing ESC ( B
  return out->size() - room;
}

void BM_Jis_Tarnlet(benchmark::State& state) {
  const std::string text = MailText(static_cast<std::size_t>(state.range(0)));
  std::vector<char> out(Iso2022JpCapacity(text.size()));
  for (auto _ : state) {
    SjisToIso2022Jp(text.c_str(), out.data());
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_Jis_Iconv(benchmark::State& state) {
  const std::string text = MailText(static_cast<std::size_t>(state.range(0)));
  std::vector<char> out(Iso2022JpCapacity(text.size()));
  iconv_t cd = iconv_open("ISO-2022-JP", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    state.SkipWithError("iconv_open CP932 -> ISO-2022-JP failed");
    return;
  }
  // Same output as ours, or the comparison means nothing.
  std::vector<char> ours(out.size());
  SjisToIso2022Jp(text.c_str(), ours.data());
  const std::size_t n = IconvConvert(cd, text, &out);
  if (n == 0 || std::string(out.data(), n) != std::string(ours.data())) {
    state.SkipWithError("iconv output differs from SjisToIso2022Jp");
    iconv_close(cd);
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(IconvConvert(cd, text, &out));
  }
  iconv_close(cd);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

std::vector<unsigned char> Bytes(std::size_t size) {
  std::vector<unsigned char> in(size);
  for (std::size_t i = 0; i < size; ++i) in[i] = static_cast<unsigned char>(i * 131 + 7);
  return in;
}

void BM_Base64_Tarnlet(benchmark::State& state) {
  const std::vector<unsigned char> in = Bytes(static_cast<std::size_t>(state.range(0)));
  std::vector<char> out(4 * ((in.size() + 2) / 3) + 1);
  int length = 0;
  for (auto _ : state) {
    Base64Codec::Encode(out.data(), &length, in.data(), static_cast<int>(in.size()));
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * in.size()));
}

void BM_Base64_OpenSsl(benchmark::State& state) {
  const std::vector<unsigned char> in = Bytes(static_cast<std::size_t>(state.range(0)));
  std::vector<unsigned char> out(4 * ((in.size() + 2) / 3) + 1);
  for (auto _ : state) {
    benchmark::DoNotOptimize(EVP_EncodeBlock(out.data(), in.data(), static_cast<int>(in.size())));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * in.size()));
}

void BM_Md5_Tarnlet(benchmark::State& state) {
  const std::vector<unsigned char> in = Bytes(static_cast<std::size_t>(state.range(0)));
  Md5Digest md5;
  Md5Context context;
  unsigned char digest[16];
  for (auto _ : state) {
    md5.Init(&context);
    md5.Update(&context, in.data(), static_cast<std::uint32_t>(in.size()));
    md5.Final(digest, &context);
    benchmark::DoNotOptimize(digest);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * in.size()));
}

void BM_Md5_OpenSsl(benchmark::State& state) {
  const std::vector<unsigned char> in = Bytes(static_cast<std::size_t>(state.range(0)));
  unsigned char digest[16];
  for (auto _ : state) {
    MD5(in.data(), in.size(), digest);
    benchmark::DoNotOptimize(digest);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * in.size()));
}

// 4 KiB: a mail body; 54 bytes: one attachment line; 64 KiB: bulk.
BENCHMARK(BM_Jis_Tarnlet)->Arg(4 << 10)->Arg(64 << 10);
BENCHMARK(BM_Jis_Iconv)->Arg(4 << 10)->Arg(64 << 10);
BENCHMARK(BM_Base64_Tarnlet)->Arg(54)->Arg(1 << 20);
BENCHMARK(BM_Base64_OpenSsl)->Arg(54)->Arg(1 << 20);
BENCHMARK(BM_Md5_Tarnlet)->Arg(64)->Arg(64 << 10);
BENCHMARK(BM_Md5_OpenSsl)->Arg(64)->Arg(64 << 10);

}  // namespace
}  // namespace tarnlet

BENCHMARK_MAIN();
