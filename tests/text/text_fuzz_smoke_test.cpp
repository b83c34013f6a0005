// A short, deterministic run of the text fuzz target inside the test suite: the seed corpus,
// the real fixture files, and a few thousand random mutations of them. fuzz/run.sh runs the
// same target under libFuzzer with the sanitizers for as long as wanted.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <random>

#include "fuzz/text_reader_fuzz.h"
#include "tests/support/test_support.h"

namespace tabulor::test {
namespace {

std::vector<std::string> seeds() {
  std::vector<std::string> out;
  for (const auto& entry : std::filesystem::directory_iterator(TABULOR_FUZZ_CORPUS))
    out.push_back(readFile(entry.path().string()));
  std::string fixtures = fixturesDir();
  if (!fixtures.empty())
    for (const auto& entry : std::filesystem::directory_iterator(fixtures + "/csv"))
      out.push_back(std::string(1, '\0') + readFile(entry.path().string()));
  std::sort(out.begin(), out.end());
  return out;
}

void check(const std::string& input) {
  std::string failure;
  bool ok =
      fuzzTextReaderOne(reinterpret_cast<const uint8_t*>(input.data()), input.size(), &failure);
  ASSERT_TRUE(ok) << failure << "\ninput (" << input.size()
                  << " bytes): " << testing::PrintToString(input.substr(0, 300));
}

TEST(TextFuzzSmoke, SeedsAndMutationsReadOrFailCleanlyAndRoundTrip) {
  auto corpus = seeds();
  ASSERT_FALSE(corpus.empty());
  for (const auto& seed : corpus) check(seed);

  static const char* const tokens[] = {
      "\"",       "\"\"", ",",    ";", "\t", "\r",         "\n",   "\r\n", " ", "\xEF\xBB\xBF",
      "\xFF\xFE", "\xC3", "\xE9", "0", "-1", "2020-01-05", "TRUE", "1e5",  "\0"};
  std::mt19937 random(20261210);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(4);
  int runs = 0;
  while (runs < 20000 && std::chrono::steady_clock::now() < deadline) {
    std::string input = corpus[random() % corpus.size()];
    int edits = 1 + static_cast<int>(random() % 6);
    for (int e = 0; e < edits; ++e) {
      size_t pos = input.empty() ? 0 : random() % input.size();
      switch (random() % 5) {
        case 0:
          if (!input.empty()) input[pos] = static_cast<char>(random());
          break;
        case 1: {
          const char* token = tokens[random() % std::size(tokens)];
          input.insert(pos, token, std::max<size_t>(1, std::strlen(token)));
          break;
        }
        case 2:
          input.erase(pos, random() % 8);
          break;
        case 3:
          input.insert(pos, input.substr(random() % (input.size() + 1), random() % 64));
          break;
        case 4:
          if (!input.empty()) input[0] = static_cast<char>(random() % 16);
          break;
      }
    }
    check(input);
    if (HasFatalFailure()) return;
    ++runs;
  }
  EXPECT_GT(runs, 100);
}

}  // namespace
}  // namespace tabulor::test
