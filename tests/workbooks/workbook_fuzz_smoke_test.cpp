// A short, deterministic run of the xlsx and ods fuzz targets inside the test suite: the
// seeds of fuzz/xlsx_corpus and fuzz/ods_corpus, whole files written by the drivers, and a
// few thousand random mutations of them. The targets themselves run under libFuzzer with
// fuzz/run.sh xlsx|ods.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <random>

#include "engine/ole_date.h"
#include "fuzz/workbook_fuzz.h"
#include "tests/support/test_support.h"
#include "tests/workbooks/workbook_test_util.h"

namespace tabulor::test {
namespace {

using FuzzOne = bool (*)(const uint8_t*, size_t, std::string*);

void smoke(FuzzOne fuzz, const std::string& corpus, const Driver& driver, const char* ext) {
  std::vector<std::string> seeds;
  for (const auto& e : std::filesystem::directory_iterator(sourceDir() + "/fuzz/" + corpus))
    seeds.push_back(readFile(e.path().string()));
  std::sort(seeds.begin(), seeds.end());
  TempDir tmp;
  const std::string book = tmp.file(std::string("seed.") + ext);
  writeTable(driver, book, "S", schemaOf({{"n", VT_R8}, {"t", VT_BSTR}, {"d", VT_DATE}}),
             {{Variant::r8(1.5), Variant::text(" a  b\tc\nd"),
               Variant::oleDate(*oleDateFromIso("2024-01-02 03:04:05"))},
              {Variant::null(), Variant::text("_x0041_"), Variant::oleDate(0.5)}});
  seeds.push_back(std::string(1, '\0') + readFile(book));
  ASSERT_GE(seeds.size(), 2u);
  auto check = [&](const std::string& input) {
    std::string failure;
    ASSERT_TRUE(fuzz(reinterpret_cast<const uint8_t*>(input.data()), input.size(), &failure))
        << failure << "\ninput of " << input.size() << " bytes";
  };
  for (const auto& s : seeds) check(s);
  std::mt19937 random(20261210);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(4);
  int runs = 0;
  while (runs < 3000 && std::chrono::steady_clock::now() < deadline) {
    std::string input = seeds[random() % seeds.size()];
    int edits = 1 + static_cast<int>(random() % 6);
    for (int e = 0; e < edits && input.size() > 1; ++e) {
      size_t pos = 1 + random() % (input.size() - 1);
      switch (random() % 5) {
        case 0:
          input[pos] = static_cast<char>(random());
          break;
        case 1:
          input[pos] = "<>/\"=&;0129 .-"[random() % 14];
          break;
        case 2:
          input.resize(pos);
          break;
        case 3:
          input.insert(pos, input.substr(pos, random() % 64));
          break;
        case 4:
          input.erase(pos, random() % 16);
          break;
      }
    }
    check(input);
    ++runs;
  }
  EXPECT_GT(runs, 100);
}

TEST(WorkbookFuzzSmoke, XlsxSeedsAndMutationsReadOrFailCleanlyAndRoundTrip) {
  smoke(&fuzzXlsxReaderOne, "xlsx_corpus", xlsx(), "xlsx");
}

TEST(WorkbookFuzzSmoke, OdsSeedsAndMutationsReadOrFailCleanlyAndRoundTrip) {
  smoke(&fuzzOdsReaderOne, "ods_corpus", ods(), "ods");
}

}  // namespace
}  // namespace tabulor::test
