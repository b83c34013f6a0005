// Helpers shared by the tests: temporary folders, small file writers, the fixtures folder.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "convert/run_listener.h"

namespace tabulor::test {

// A fresh folder under the system's temporary folder, removed with everything in it when
// the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  // path() + "/" + name
  std::string file(const std::string& name) const;

 private:
  std::string path_;
};

void writeFile(const std::string& path, const std::string& bytes);
std::string readFile(const std::string& path);
bool fileExists(const std::string& path);
// Names of the entries of a folder, sorted.
std::vector<std::string> listFolder(const std::string& path);

// The shared fixtures folder, or "" when it is absent (tests then GTEST_SKIP).
std::string fixturesDir();
// The project's source and build folders.
std::string sourceDir();
std::string binaryDir();

// Parses RFC 4180 CSV text (CR, LF or CRLF record ends) into records of fields.
std::vector<std::vector<std::string>> parseCsv(const std::string& text);

// Runs a shell command; returns its exit status and fills `output` with stdout.
int runCommand(const std::string& command, std::string* output = nullptr);
// True when `program` is on PATH.
bool haveProgram(const std::string& program);

// Writes a workbook at `path` with one sheet per (name, CSV text), through the engine's own
// text reader and workbook writer.
void writeWorkbook(const std::string& path,
                   const std::vector<std::pair<std::string, std::string>>& sheets);

// Keeps what a conversion run reports: skipped files with their reasons, failures, notices.
class RecordingListener : public RunListener {
 public:
  void fileSkipped(const std::string& path, const std::string& reason) override {
    skipped.emplace_back(path, reason);
  }
  void fileFailed(const std::string& path, const std::string& reason) override {
    failed.emplace_back(path, reason);
  }
  void notice(const std::string& path, const std::string& text) override {
    notices.emplace_back(path, text);
  }
  std::vector<std::pair<std::string, std::string>> skipped, failed, notices;
};

}  // namespace tabulor::test

// Skips the current test with a message when the fixtures folder is absent.
#define TABULOR_REQUIRE_FIXTURES()                                               \
  do {                                                                           \
    if (::tabulor::test::fixturesDir().empty())                                  \
      GTEST_SKIP() << "shared fixtures folder not found (set TABULOR_FIXTURES)"; \
  } while (0)
