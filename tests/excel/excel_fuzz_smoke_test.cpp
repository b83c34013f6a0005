// A short, deterministic run of the Excel fuzz target inside the test suite: its seeds
// (fuzz/excel_corpus, findings of earlier runs), the fixture workbooks (whole, and as bare
// workbook streams), the malformed files, and a few thousand random mutations of their
// records. The fuzz target itself runs under libFuzzer
// when built with -DTABULOR_FUZZ=ON.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <random>

#include "engine/drivers/excel/compound_file.h"
#include "fuzz/excel_reader_fuzz.h"
#include "tests/support/test_support.h"

namespace tabulor::test {
namespace {

void check(const std::string& input) {
  std::string failure;
  bool ok =
      fuzzExcelReaderOne(reinterpret_cast<const uint8_t*>(input.data()), input.size(), &failure);
  ASSERT_TRUE(ok) << failure << "\ninput of " << input.size() << " bytes";
}

TEST(ExcelFuzzSmoke, SeedsAndMutationsReadOrFailCleanlyAndRoundTrip) {
  const std::string seeds = sourceDir() + "/fuzz/excel_corpus/";
  for (const std::string& name : listFolder(seeds)) {
    SCOPED_TRACE(name);
    check(readFile(seeds + name));
  }
  TABULOR_REQUIRE_FIXTURES();
  std::vector<std::string> files, streams;
  for (const char* folder : {"/xls", "/malformed"})
    for (const auto& e : std::filesystem::directory_iterator(fixturesDir() + folder)) {
      std::string bytes = readFile(e.path().string());
      files.push_back(bytes);
      try {
        streams.push_back(excel::readWorkbookStreamFromMemory(bytes, "seed").bytes);
      } catch (const std::exception&) {
      }
    }
  std::sort(files.begin(), files.end());
  std::sort(streams.begin(), streams.end());
  ASSERT_FALSE(streams.empty());
  for (const auto& f : files) check(std::string(1, '\0') + f);
  for (const auto& s : streams) check(std::string(1, '\1') + s);

  std::mt19937 random(20261210);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  int runs = 0;
  while (runs < 5000 && std::chrono::steady_clock::now() < deadline) {
    bool whole = random() % 4 == 0;
    std::string input = whole ? files[random() % files.size()] : streams[random() % streams.size()];
    int edits = 1 + static_cast<int>(random() % 8);
    for (int e = 0; e < edits && !input.empty(); ++e) {
      size_t pos = random() % input.size();
      switch (random() % 4) {
        case 0:
          input[pos] = static_cast<char>(random());
          break;
        case 1:
          input[pos] = static_cast<char>(input[pos] ^ (1 << (random() % 8)));
          break;
        case 2:
          input.resize(pos);
          break;  // cut short
        case 3:
          input.insert(pos, input.substr(pos, random() % 64));
          break;
      }
    }
    check(std::string(1, whole ? '\0' : '\1') + input);
    ++runs;
  }
  EXPECT_GT(runs, 100);
}

}  // namespace
}  // namespace tabulor::test
