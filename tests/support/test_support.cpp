// Test helpers: temporary folders, file access, CSV parsing and command execution.
#include "tests/support/test_support.h"

#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/database.h"

namespace fs = std::filesystem;

namespace tabulor::test {

TempDir::TempDir() {
  std::string templ = (fs::temp_directory_path() / "tabulor-test-XXXXXX").string();
  if (!mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
  path_ = templ;
}

TempDir::~TempDir() {
  std::error_code ec;
  // Tests make folders read-only; give write access back so they can be removed.
  for (auto it = fs::recursive_directory_iterator(path_, ec); it != fs::end(it); it.increment(ec))
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(path_, ec);
}

std::string TempDir::file(const std::string& name) const {
  return path_ + "/" + name;
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool fileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

std::vector<std::string> listFolder(const std::string& path) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(path, ec))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string fixturesDir() {
  const char* env = std::getenv("TABULOR_FIXTURES");
  std::string dir = env && *env ? env : TABULOR_FIXTURES_DEFAULT;
  return fs::is_directory(dir) ? fs::canonical(dir).string() : std::string();
}

std::string sourceDir() {
  return TABULOR_SOURCE_DIR;
}
std::string binaryDir() {
  return TABULOR_BINARY_DIR;
}

std::vector<std::vector<std::string>> parseCsv(const std::string& text) {
  std::vector<std::vector<std::string>> records;
  std::vector<std::string> record;
  std::string field;
  bool quoted = false, fieldStarted = false;
  size_t i = 0;
  auto endField = [&] {
    record.push_back(field);
    field.clear();
    fieldStarted = false;
  };
  auto endRecord = [&] {
    endField();
    records.push_back(record);
    record.clear();
  };
  while (i < text.size()) {
    char c = text[i];
    if (quoted) {
      if (c == '"') {
        if (i + 1 < text.size() && text[i + 1] == '"') {
          field += '"';
          i += 2;
          continue;
        }
        quoted = false;
      } else {
        field += c;
      }
      ++i;
      continue;
    }
    if (c == '"' && field.empty()) {
      quoted = true;
      fieldStarted = true;
    } else if (c == ',') {
      endField();
      fieldStarted = true;
    } else if (c == '\r' || c == '\n') {
      endRecord();
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      field += c;
      fieldStarted = true;
    }
    ++i;
  }
  if (fieldStarted || !field.empty() || !record.empty()) endRecord();
  return records;
}

int runCommand(const std::string& command, std::string* output) {
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return -1;
  std::string text;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) text.append(buf, n);
  int status = ::pclose(pipe);
  if (output) *output = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool haveProgram(const std::string& program) {
  return runCommand("command -v '" + program + "' >/dev/null 2>&1") == 0;
}

void writeWorkbook(const std::string& path,
                   const std::vector<std::pair<std::string, std::string>>& sheets) {
  TempDir csvs;
  Database db;
  for (size_t i = 0; i < sheets.size(); ++i)
    writeFile(csvs.file("t" + std::to_string(i) + ".csv"), sheets[i].second);
  db.Open(csvs.path(), false, true, "Text;");
  for (size_t i = 0; i < sheets.size(); ++i)
    db.Execute("SELECT * INTO [Excel 8.0;DATABASE=" + path + "].[" + sheets[i].first + "] FROM [t" +
               std::to_string(i) + "#csv]");
}

}  // namespace tabulor::test
