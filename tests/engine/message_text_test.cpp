// Error messages a person can read: names and values are quoted cut to a readable length by
// every writer that quotes one, and a folder that cannot take an output says why.
#include "engine/message_text.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "engine/drivers/jet/blank_database.h"
#include "engine/engine_error.h"
#include "engine/registry.h"
#include "tests/support/test_support.h"

namespace tabulor::test {
namespace {

TEST(MessageText, LongNamesAndValuesAreCut) {
  std::string e60, e61;
  for (int i = 0; i < 60; ++i) e60 += "\xC3\xA9";
  e61 = e60 + "\xC3\xA9";
  struct Case {
    std::string text, shown;
  } cases[] = {
      {"orders", "orders"},
      {"", ""},
      {std::string(60, 'x'), std::string(60, 'x')},
      {std::string(61, 'x'), std::string(60, 'x') + "..."},
      {e60, e60},  // 60 characters of two bytes each
      {e61, e60 + "..."},
      {std::string(1000, '\x80'), std::string(240, '\x80') + "..."},  // not UTF-8
  };
  for (const auto& c : cases) EXPECT_EQ(clipForMessage(c.text), c.shown);
}

// A 100,000-character field name (a header cell) or value in a message of each writer that
// quotes one.
TEST(MessageText, WritersQuoteHugeNamesAndValuesCut) {
  const std::string huge(100000, 'n');
  struct Case {
    const char* isam;
    const char* file;  // the database: a file of its own, or this file in a folder
    bool hugeName;     // else a huge value that the field cannot take
    uint16_t type;
  } cases[] = {
      {"Excel 8.0", "t.xls", true, VT_BSTR},  // longer than a cell
      {"Lotus WK1", "t.wk1", true, VT_BSTR},  // longer than a label
      {"dBASE IV", "t.dbf", false, VT_I4},    // text where a number goes
      {"", "t.mdb", false, VT_I4},            // text in a Long column
  };
  for (const auto& c : cases) {
    TempDir dir;
    std::string database = dir.path();
    if (std::string(c.file) != "t.wk1" && std::string(c.file) != "t.dbf")
      database = dir.file(c.file);
    if (*c.isam == '\0') jet::writeBlankDatabase(database, 45000);
    TableSchema schema;  // no statistics: the writers size fields from the types
    schema.fields = {{c.hugeName ? huge : "n", c.type, 0, {}}};
    try {
      auto writer = findDriver(c.isam)->createTable(database, c.file, schema);
      writer->appendRow({Variant::text(c.hugeName ? "x" : huge)});
      writer->finish();
      ADD_FAILURE() << c.file << ": no error";
    } catch (const EngineError& e) {
      std::string message = e.what();
      EXPECT_LT(message.size(), 400u) << c.file << ": " << message.substr(0, 400);
      EXPECT_NE(message.find(std::string(60, 'n') + "..."), std::string::npos) << message;
    }
  }
}

// Runs `body` in a child process whose folder `path` is a read-only file system (a private
// mount namespace); returns what the child wrote, or "" when such a mount is not allowed here.
std::string inReadOnlyFolder(const std::string& path, const std::function<std::string()>& body) {
  int fds[2];
  if (::pipe(fds) != 0) return "";
  pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    std::string out;
    if (::unshare(CLONE_NEWNS) == 0 &&
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
        ::mount("tmpfs", path.c_str(), "tmpfs", MS_RDONLY, "size=1m") == 0)
      out = body();
    if (::write(fds[1], out.data(), out.size()) < 0) _exit(1);
    _exit(0);
  }
  ::close(fds[1]);
  std::string out;
  char buf[4096];
  for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) out.append(buf, size_t(n));
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return out;
}

// The database of a Jet target is made before the table is added; when the folder cannot
// take it the message says so instead of "Could not find file".
TEST(MessageText, AFolderThatCannotTakeTheDatabaseSaysWhy) {
  TempDir dir;
  TableSchema schema;
  schema.fields = {{"n", VT_I4, 0, {}}};
  auto messageFor = [&](const std::string& database) {
    try {
      findDriver("")->createTable(database, "t", schema);
      return std::string("no error");
    } catch (const EngineError& e) {
      return std::string(e.what());
    }
  };
  EXPECT_EQ(messageFor(dir.file("missing/t.mdb")), "Cannot write the database " +
                                                       dir.file("missing/t.mdb") + ": the folder " +
                                                       dir.file("missing") + " does not exist");
  EXPECT_EQ(messageFor(dir.file("t.mdb")), "Could not find file '" + dir.file("t.mdb") + "'");

  std::string readOnly =
      inReadOnlyFolder(dir.path(), [&] { return messageFor(dir.file("t.mdb")); });
  if (readOnly.empty()) GTEST_SKIP() << "no private read-only mount allowed here";
  EXPECT_EQ(readOnly, "Cannot write the database " + dir.file("t.mdb") + ": the folder " +
                          dir.path() + " cannot be written (Read-only file system)");
}

}  // namespace
}  // namespace tabulor::test
