// A short, deterministic run of the name-handling fuzz target inside the test suite: its
// seeds (fuzz/names_corpus, findings of earlier runs among them) and a few thousand random
// mutations of them. fuzz/run.sh names runs the same target under libFuzzer.
#include <gtest/gtest.h>

#include <chrono>
#include <random>

#include "fuzz/names_fuzz.h"
#include "tests/support/test_support.h"

namespace tabulor::test {
namespace {

void check(const std::string& input) {
  std::string failure;
  ASSERT_TRUE(fuzzNamesOne(reinterpret_cast<const uint8_t*>(input.data()), input.size(), &failure))
      << failure << "\ninput: " << testing::PrintToString(input);
}

TEST(NamesFuzzSmoke, SeedsAndMutationsKeepEveryNamePromise) {
  const std::string folder = sourceDir() + "/fuzz/names_corpus/";
  std::vector<std::string> corpus;
  for (const std::string& name : listFolder(folder)) corpus.push_back(readFile(folder + name));
  ASSERT_FALSE(corpus.empty());
  for (const std::string& seed : corpus) {
    check(seed);
    if (HasFatalFailure()) return;
  }

  static const std::string tokens[] = {
      "]",
      "]]",
      "[",
      ".",
      "..",
      "/",
      "\\",
      std::string(1, '\0'),
      "'",
      ";DATABASE=",
      " ",
      "\xC3\xA9",
      "\xF0\x9F\x98\x80",
      "\xE9",
      "\x80",
      "History",
      std::string(120, 'x'),
      std::string(90, '.'),
      "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"};
  std::mt19937 random(20261211);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  int runs = 0;
  while (runs < 20000 && std::chrono::steady_clock::now() < deadline) {
    std::string input = corpus[random() % corpus.size()];
    for (int e = 1 + static_cast<int>(random() % 6); e > 0; --e) {
      size_t pos = input.empty() ? 0 : random() % input.size();
      switch (random() % 4) {
        case 0:
          if (!input.empty()) input[pos] = static_cast<char>(random());
          break;
        case 1:
          input.insert(pos, tokens[random() % std::size(tokens)]);
          break;
        case 2:
          input.erase(pos, random() % 8);
          break;
        case 3:
          input.insert(pos, input.substr(pos, random() % 300));
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
