// Replays the fuzzers' seed inputs and every input kept from a fuzzer
// finding, through the same runners the fuzzers use, so each normal test
// run re-checks them on every platform.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../../fuzz/fuzz_inputs.h"
#include "support/test_files.h"

namespace tarnlet {
namespace hardening {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> InputsOf(const std::string& target) {
  std::vector<std::string> inputs;
  for (const char* folder : {"corpus", "regressions"}) {
    const fs::path dir = fs::path(TARNLET_SOURCE_DIR) / "fuzz" / folder / target;
    if (!fs::is_directory(dir)) continue;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
      std::ifstream in(entry.path(), std::ios::binary);
      inputs.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
  }
  return inputs;
}

const std::uint8_t* Bytes(const std::string& input) {
  return reinterpret_cast<const std::uint8_t*>(input.data());
}

TEST(FuzzReplayTest, EveryKeptInputPassesItsChecks) {
  testing::TempDir dir;
  int replayed = 0;
  for (const char* target : {"sjis", "encoded_word", "base64", "dialogue", "record", "ini"}) {
    const std::vector<std::string> inputs = InputsOf(target);
    EXPECT_FALSE(inputs.empty()) << target;
    for (const std::string& input : inputs) {
      SCOPED_TRACE(std::string(target) + " input of " + std::to_string(input.size()) + " bytes");
      const std::string name = target;
      if (name == "sjis") fuzzing::RunSjisInput(Bytes(input), input.size());
      if (name == "encoded_word") fuzzing::RunEncodedWordInput(Bytes(input), input.size());
      if (name == "base64") fuzzing::RunBase64Input(Bytes(input), input.size());
      if (name == "dialogue") fuzzing::RunDialogueInput(Bytes(input), input.size());
      if (name == "record") fuzzing::RunRecordInput(Bytes(input), input.size());
      if (name == "ini") fuzzing::RunIniInput(Bytes(input), input.size(), dir.File("fuzz.ini"));
      ++replayed;
    }
  }
  EXPECT_GT(replayed, 20);
}

// The dialogue seeds must go as far as they were written to, or the
// fuzzer starts from inputs that stop at the greeting.
TEST(FuzzReplayTest, DialogueSeedsReachTheirEnd) {
  const struct {
    const char* seed;
    ResultCode expected;
  } kSeeds[] = {
      {"kind0", 0},        {"kind0_multiline", 0}, {"kind1_25", 0},   {"kind1_587", 0},
      {"kind1_rset", -13}, {"kind2_user", 0},      {"kind2_apop", 0}, {"reset", -9},
      {"reader0", 1},      {"reader1", 1},         {"reader2", 1},    {"reader3", 1},
      {"reader4", 1},
  };
  for (const auto& row : kSeeds) {
    const fs::path file = fs::path(TARNLET_SOURCE_DIR) / "fuzz" / "corpus" / "dialogue" / row.seed;
    std::ifstream in(file, std::ios::binary);
    const std::string input((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(input.empty()) << row.seed;
    EXPECT_EQ(fuzzing::RunDialogueInput(Bytes(input), input.size()), row.expected) << row.seed;
  }
}

}  // namespace
}  // namespace hardening
}  // namespace tarnlet
