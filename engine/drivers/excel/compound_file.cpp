// The compound-file container through libgsf, with a cheap look at the first bytes first so
// that files which are not compound files get a message that says what they are.
#include "engine/drivers/excel/compound_file.h"

#include <gsf/gsf.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>

#include "engine/drivers/workbook/zip_package.h"
#include "engine/engine_error.h"
#include "engine/file_names.h"
#include "engine/staging.h"

namespace tabulor::excel {

namespace {

using workbook::GPtr;

constexpr unsigned char OleSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

// While libgsf reads a damaged file, some of its warnings go to GLib's default log domain;
// they are silenced for the length of one read (the damage reaches the user as an
// EngineError), and only then, so that other GLib users' warnings stay visible.
class QuietDefaultDomain {
 public:
  QuietDefaultDomain()
      : id_(g_log_set_handler(
            nullptr,
            static_cast<GLogLevelFlags>(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING |
                                        G_LOG_LEVEL_MESSAGE),
            [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr)) {}
  ~QuietDefaultDomain() { g_log_remove_handler(nullptr, id_); }
  QuietDefaultDomain(const QuietDefaultDomain&) = delete;
  QuietDefaultDomain& operator=(const QuietDefaultDomain&) = delete;

 private:
  guint id_;
};

// Says what a file that is not a compound file holds, for the error message.
[[noreturn]] void refuseNonOle(std::string_view head, const std::string& name) {
  auto byteAt = [&](size_t i) { return i < head.size() ? static_cast<uint8_t>(head[i]) : 0; };
  uint16_t firstType = static_cast<uint16_t>(byteAt(0) | (byteAt(1) << 8));
  if (firstType == 0x0009 || firstType == 0x0209 || firstType == 0x0409 ||
      (firstType == 0x0809 && byteAt(2) < 0x20)) {
    if (firstType == 0x0809)
      throw EngineError(ErrorKind::Unsupported,
                        name +
                            " holds bare Excel records without the compound-file container "
                            "that Excel 5.0 to 2003 workbooks have (an Excel 4.0 workbook or "
                            "an unusual export); save it in the Excel 97-2003 format first");
    const char* version = firstType == 0x0009   ? "Excel 2.x (BIFF2)"
                          : firstType == 0x0209 ? "Excel 3.0 (BIFF3)"
                                                : "Excel 4.0 (BIFF4)";
    throw EngineError(ErrorKind::Unsupported,
                      name + " is an " + std::string(version) +
                          " worksheet; only Excel 5.0 to 2003 workbooks (.xls) can be read. "
                          "Save it in the Excel 97-2003 format first");
  }
  if (head.size() >= 4 && head.substr(0, 4) == std::string_view("PK\x03\x04", 4))
    throw EngineError(ErrorKind::Unsupported,
                      name +
                          " is an Excel 2007 or later workbook (.xlsx) named .xls; only "
                          "Excel 97-2003 workbooks can be read");
  if (head.empty())
    throw EngineError(ErrorKind::BadInput, name + " is empty, not an Excel workbook");
  if (head.size() >= 2 &&
      ((byteAt(0) == 0xFF && byteAt(1) == 0xFE) || (byteAt(0) == 0xFE && byteAt(1) == 0xFF)))
    throw EngineError(ErrorKind::BadInput,
                      name +
                          " is a Unicode text file saved under an .xls name, not an Excel "
                          "workbook");
  std::string lower = toLowerAscii(head);
  if (lower.find("urn:schemas-microsoft-com:office:spreadsheet") != std::string::npos &&
      lower.find("<workbook") != std::string::npos)
    throw EngineError(ErrorKind::Unsupported,
                      name +
                          " is an Excel 2003 XML spreadsheet saved under an .xls name; only "
                          "binary Excel 97-2003 workbooks can be read");
  if (lower.find("<html") != std::string::npos || lower.find("<table") != std::string::npos ||
      lower.find("<!doctype") != std::string::npos || lower.find("<?xml") != std::string::npos)
    throw EngineError(ErrorKind::BadInput,
                      name +
                          " is a web page (HTML or XML) saved under an .xls name, not an "
                          "Excel workbook");
  size_t printable = 0;
  for (char c : head) {
    auto u = static_cast<unsigned char>(c);
    if (u >= 0x20 || u == '\t' || u == '\r' || u == '\n') ++printable;
  }
  if (printable == head.size())
    throw EngineError(ErrorKind::BadInput,
                      name +
                          " is a text file (such as CSV) saved under an .xls name, not an "
                          "Excel workbook");
  throw EngineError(ErrorKind::BadInput,
                    name + " is not an Excel workbook (no compound-file signature)");
}

WorkbookStream readFromInput(GsfInput* input, const std::string& name) {
  QuietDefaultDomain quiet;
  GError* err = nullptr;
  GPtr<GsfInfile> ole(gsf_infile_msole_new(input, &err));
  if (!ole) {
    std::string why = err ? err->message : "unknown error";
    if (err) g_error_free(err);
    throw EngineError(ErrorKind::BadInput,
                      name + " is a damaged compound file and cannot be read (" + why + ")");
  }
  int count = gsf_infile_num_children(ole.get());
  int workbook = -1, book = -1;
  bool encryptedPackage = false;
  for (int i = 0; i < count; ++i) {
    const char* child = gsf_infile_name_by_index(ole.get(), i);
    if (!child) continue;
    if (equalsNoCase(child, "Workbook")) workbook = i;
    if (equalsNoCase(child, "Book")) book = i;
    if (equalsNoCase(child, "EncryptedPackage")) encryptedPackage = true;
  }
  if (workbook < 0 && book < 0) {
    if (encryptedPackage)
      throw EngineError(ErrorKind::Unsupported,
                        name +
                            " is a password-protected (encrypted) Excel 2007 or later "
                            "workbook; remove the password and save it as Excel 97-2003");
    throw EngineError(ErrorKind::BadInput,
                      name +
                          " is a compound file without a workbook stream (another Office "
                          "document?), not an Excel workbook");
  }
  WorkbookStream out;
  out.bookStream = workbook < 0;
  GPtr<GsfInput> stream(gsf_infile_child_by_index(ole.get(), workbook >= 0 ? workbook : book));
  if (!stream)
    throw EngineError(ErrorKind::BadInput,
                      name + ": the workbook stream cannot be opened (damaged compound file)");
  gsf_off_t size = gsf_input_size(stream.get());
  gsf_off_t containerSize = gsf_input_size(input);
  if (size < 0 || size > containerSize)
    throw EngineError(
        ErrorKind::BadInput,
        name +
            ": the workbook stream claims more bytes than the file holds (damaged compound file)");
  out.bytes.resize(static_cast<size_t>(size));
  size_t done = 0;
  while (done < out.bytes.size()) {
    size_t n = std::min<size_t>(out.bytes.size() - done, 1 << 16);
    if (!gsf_input_read(stream.get(), n, reinterpret_cast<guint8*>(out.bytes.data() + done)))
      throw EngineError(ErrorKind::BadInput, name + ": the workbook stream is cut short at byte " +
                                                 std::to_string(done) +
                                                 " (damaged or truncated compound file)");
    done += n;
  }
  return out;
}

// The root directory entry may have no siblings. libgsf reads the siblings of a damaged
// file's root entry and then drops them without freeing them, so they are cleared before it
// sees the file: its reading is the same, as it never uses them.
constexpr uint8_t NoSiblings[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

// Where the root entry's two sibling numbers lie, found as libgsf finds them (the first
// sector of the directory, after the 512-byte header); 0 when the header gives no place.
uint64_t rootSiblingsOffset(std::string_view header) {
  if (header.size() < 512) return 0;
  auto u16 = [&](size_t at) {
    return static_cast<uint32_t>(static_cast<uint8_t>(header[at]) |
                                 static_cast<uint8_t>(header[at + 1]) << 8);
  };
  const uint32_t shift = u16(30);
  const uint32_t start = u16(48) | u16(50) << 16;
  if (shift < 6 || shift >= 31) return 0;  // refused by libgsf before it reads entries
  return 512 + (static_cast<uint64_t>(start) << shift) + 68;
}

WorkbookStream readFromMemory(std::string_view bytes, const std::string& name) {
  std::string mended;
  const uint64_t siblings = rootSiblingsOffset(bytes);
  if (siblings > 0 && siblings + 8 <= bytes.size() &&
      std::memcmp(bytes.data() + siblings, NoSiblings, 8) != 0) {
    mended.assign(bytes);
    std::memcpy(mended.data() + siblings, NoSiblings, 8);
    bytes = mended;
  }
  GPtr<GsfInput> input(gsf_input_memory_new(reinterpret_cast<const guint8*>(bytes.data()),
                                            static_cast<gsf_off_t>(bytes.size()), FALSE));
  return readFromInput(input.get(), name);
}

}  // namespace

WorkbookStream readWorkbookStreamFromMemory(std::string_view bytes, const std::string& name) {
  if (bytes.size() < 8 || std::memcmp(bytes.data(), OleSignature, 8) != 0)
    refuseNonOle(bytes.substr(0, 4096), name);
  workbook::initGsf();
  return readFromMemory(bytes, name);
}

WorkbookStream readWorkbookStream(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw EngineError(ErrorKind::Io, "Cannot open " + path + " for reading");
  std::string head(4096, '\0');
  file.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<size_t>(file.gcount()));
  if (head.size() < 8 || std::memcmp(head.data(), OleSignature, 8) != 0) refuseNonOle(head, path);
  workbook::initGsf();
  // A file whose root entry has siblings is read from memory, where they can be cleared.
  if (const uint64_t siblings = rootSiblingsOffset(head); siblings > 0) {
    char found[8] = {};
    file.clear();
    file.seekg(static_cast<std::streamoff>(siblings));
    if (file.read(found, 8) && std::memcmp(found, NoSiblings, 8) != 0) {
      file.seekg(0);
      std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
      if (file.bad()) throw EngineError(ErrorKind::Io, "Cannot read " + path);
      return readFromMemory(bytes, path);
    }
  }
  file.close();
  GError* err = nullptr;
  GPtr<GsfInput> input(gsf_input_stdio_new(path.c_str(), &err));
  if (!input) {
    std::string why = err ? err->message : "unknown error";
    if (err) g_error_free(err);
    throw EngineError(ErrorKind::Io, "Cannot open " + path + ": " + why);
  }
  return readFromInput(input.get(), path);
}

void writeWorkbookFile(const std::string& path, const std::vector<std::string_view>& parts) {
  workbook::initGsf();
  StagedFile staged(path);
  // The container goes to our staged file through a stream of our own: libgsf's own stdio
  // output would make a second temporary file under a name of its own.
  FILE* stream = ::fdopen(::dup(staged.fd()), "wb");
  if (!stream)
    throw EngineError(ErrorKind::Io, "Cannot write " + path + ": " + systemReason(errno));
  bool ok = true;
  {
    GPtr<GsfOutput> sink(gsf_output_stdio_new_FILE(staged.stagingPath().c_str(), stream, TRUE));
    GPtr<GsfOutfile> root(gsf_outfile_msole_new(sink.get()));
    // Excel's class id for a workbook, so that shells and viewers know the document type.
    static const guint8 excelClsid[16] = {0x20, 0x08, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                          0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
    gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(root.get()), excelClsid);
    GPtr<GsfOutput> child(gsf_outfile_new_child(root.get(), "Workbook", FALSE));
    ok = child != nullptr;
    size_t total = 0;
    for (std::string_view part : parts) {
      // Written in slices: gsf_output_write takes a length it may hold in 32 bits.
      for (size_t at = 0; ok && at < part.size(); at += 1 << 20) {
        size_t n = std::min<size_t>(part.size() - at, 1 << 20);
        ok = gsf_output_write(child.get(), n, reinterpret_cast<const guint8*>(part.data() + at));
      }
      total += part.size();
    }
    if (ok && total < 4096) {
      std::string zeros(4096 - total, '\0');
      ok = gsf_output_write(child.get(), zeros.size(),
                            reinterpret_cast<const guint8*>(zeros.data()));
    }
    if (child) ok = gsf_output_close(child.get()) && ok;
    ok = gsf_output_close(GSF_OUTPUT(root.get())) && ok;
    if (!gsf_output_is_closed(sink.get())) ok = gsf_output_close(sink.get()) && ok;
  }
  errno = 0;
  ok = std::fflush(stream) == 0 && !std::ferror(stream) && ok;
  const int error = errno;
  ok = std::fclose(stream) == 0 && ok;
  if (!ok)
    throw EngineError(ErrorKind::Io, "Cannot write " + path + ": " +
                                         (error ? systemReason(error)
                                                : std::string("the compound file could not be "
                                                              "written")));
  staged.commit();
}

}  // namespace tabulor::excel
