// Throughput of the codecs on the sizes the mail path feeds them.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "codec/base64.h"
#include "codec/iso2022jp.h"
#include "codec/md5.h"

namespace tarnlet {
namespace {

// A business mail body: kanji and kana, ASCII figures, half-width katakana,
// CR LF line ends.
std::string MailBody(std::size_t size) {
  static const char* const kLines[] = {
      // お世話になっております。株式会社タンレットの山田です。
      "\x82\xa8\x90\xa2\x98\x62\x82\xc9\x82\xc8\x82\xc1\x82\xc4\x82\xa8\x82\xe8\x82\xdc\x82\xb7"
      "\x81\x42\x8a\x94\x8e\xae\x89\xef\x8e\xd0\x83\x5e\x83\x93\x83\x8c\x83\x62\x83\x67\x82\xcc"
      "\x8e\x52\x93\x63\x82\xc5\x82\xb7\x81\x42\r\n",
      // 来週の会議資料（第3版）を添付いたします。ﾃﾞｰﾀﾍﾞｰｽの件はﾒｰﾙでご確認ください。
      "\x97\x88\x8f\x54\x82\xcc\x89\xef\x8b\x63\x8e\x91\x97\xbf\x81\x69\x91\xe6\x33\x94\xc5\x81"
      "\x6a\x82\xf0\x93\x59\x95\x74\x82\xa2\x82\xbd\x82\xb5\x82\xdc\x82\xb7\x81\x42\xc3\xde\xb0"
      "\xc0\xcd\xde\xb0\xbd\x82\xcc\x8c\x8f\x82\xcd\xd2\xb0\xd9\x82\xc5\x82\xb2\x8a\x6d\x94\x46"
      "\x82\xad\x82\xbe\x82\xb3\x82\xa2\x81\x42\r\n",
      "Tel: 03-1234-5678  https://example.com/docs/2024/plan.pdf\r\n",
      "\r\n",
  };
  std::string body;
  for (std::size_t i = 0; body.size() < size; ++i) body += kLines[i % 4];
  return body;
}

void BM_SjisToIso2022Jp(benchmark::State& state) {
  const std::string body = MailBody(static_cast<std::size_t>(state.range(0)));
  std::vector<char> out(Iso2022JpCapacity(body.size()));
  for (auto _ : state) {
    SjisToIso2022Jp(body.c_str(), out.data());
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * body.size()));
}
BENCHMARK(BM_SjisToIso2022Jp)->Arg(1 << 10)->Arg(64 << 10);

void BM_Base64Encode(benchmark::State& state) {
  const std::size_t size = static_cast<std::size_t>(state.range(0));
  std::vector<unsigned char> in(size);
  for (std::size_t i = 0; i < size; ++i) in[i] = static_cast<unsigned char>(i * 131 + 7);
  std::vector<char> out(4 * ((size + 2) / 3));
  int length = 0;
  for (auto _ : state) {
    Base64Codec::Encode(out.data(), &length, in.data(), static_cast<int>(size));
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}
// 54 bytes: one attachment line; 1 MiB: a whole attachment at once.
BENCHMARK(BM_Base64Encode)->Arg(54)->Arg(1 << 20);

void BM_Md5(benchmark::State& state) {
  const std::size_t size = static_cast<std::size_t>(state.range(0));
  std::vector<unsigned char> in(size);
  for (std::size_t i = 0; i < size; ++i) in[i] = static_cast<unsigned char>(i);
  Md5Digest md5;
  Md5Context context;
  unsigned char digest[16];
  for (auto _ : state) {
    md5.Init(&context);
    md5.Update(&context, in.data(), static_cast<std::uint32_t>(size));
    md5.Final(digest, &context);
    benchmark::DoNotOptimize(digest);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}
BENCHMARK(BM_Md5)->Arg(64 << 10);

}  // namespace
}  // namespace tarnlet

BENCHMARK_MAIN();
