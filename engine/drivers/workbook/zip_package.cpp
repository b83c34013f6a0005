// Opening zip packages with libgsf, finding parts by path, and the zip-bomb check.
#include "engine/drivers/workbook/zip_package.h"

#include <cstring>
#include <fstream>
#include <vector>

#include "engine/engine_error.h"
#include "engine/file_names.h"

namespace tabulor::workbook {

void initGsf() {
  static const bool done = [] {
    gsf_init();
    // libgsf reports damaged files as GLib warnings (and failed checks as criticals) before
    // it returns an error; the callers turn the error into an EngineError, so the warnings
    // would only be noise.
    for (const char* domain : {"libgsf:zip", "libgsf:msole", "libgsf"})
      g_log_set_handler(
          domain,
          static_cast<GLogLevelFlags>(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING |
                                      G_LOG_LEVEL_MESSAGE | G_LOG_LEVEL_INFO | G_LOG_LEVEL_DEBUG),
          [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
    return true;
  }();
  (void)done;
}

namespace {

constexpr char ZipSignature[] = "PK\x03\x04";
constexpr char EmptyZipSignature[] = "PK\x05\x06";
constexpr unsigned char OleSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

// Says what a file that is not a zip holds, for the error message.
[[noreturn]] void refuseNonZip(std::string_view head, const std::string& name) {
  if (head.empty()) throw EngineError(ErrorKind::BadInput, name + " is empty, not a workbook");
  if (head.size() >= 8 && std::memcmp(head.data(), OleSignature, 8) == 0)
    throw EngineError(ErrorKind::Unsupported,
                      name +
                          " is a compound file (an Excel 97-2003 workbook, or a workbook "
                          "protected by a password), not a zipped workbook; rename an Excel "
                          "97-2003 workbook to .xls, or remove the password");
  size_t printable = 0;
  for (char c : head) {
    auto u = static_cast<unsigned char>(c);
    if (u >= 0x20 || u == '\t' || u == '\r' || u == '\n') ++printable;
  }
  std::string lower = toLowerAscii(head);
  if (lower.find("<?xml") != std::string::npos || lower.find("<html") != std::string::npos)
    throw EngineError(ErrorKind::BadInput,
                      name +
                          " is an XML or HTML file, not a zipped workbook (a flat XML "
                          "spreadsheet cannot be read)");
  if (printable == head.size())
    throw EngineError(ErrorKind::BadInput, name + " is a text file, not a zipped workbook");
  throw EngineError(ErrorKind::BadInput, name + " is not a workbook (no zip signature)");
}

bool isZipHead(std::string_view head) {
  return head.size() >= 4 && (head.substr(0, 4) == std::string_view(ZipSignature, 4) ||
                              head.substr(0, 4) == std::string_view(EmptyZipSignature, 4));
}

std::string gerrorText(GError* err, const char* fallback) {
  std::string why = err && err->message ? err->message : fallback;
  if (err) g_error_free(err);
  return why;
}

}  // namespace

std::shared_ptr<ZipPackage> ZipPackage::open(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw EngineError(ErrorKind::Io, "Cannot open " + path + " for reading");
  std::string head(4096, '\0');
  file.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<size_t>(file.gcount()));
  if (!isZipHead(head)) refuseNonZip(head, path);
  file.close();
  initGsf();
  std::shared_ptr<ZipPackage> pkg(new ZipPackage);
  pkg->name_ = path;
  GError* err = nullptr;
  pkg->source_.reset(gsf_input_stdio_new(path.c_str(), &err));
  if (!pkg->source_)
    throw EngineError(ErrorKind::Io, "Cannot open " + path + ": " + gerrorText(err, "unknown"));
  pkg->fileSize_ = gsf_input_size(pkg->source_.get());
  pkg->zip_.reset(gsf_infile_zip_new(pkg->source_.get(), &err));
  if (!pkg->zip_)
    throw EngineError(ErrorKind::BadInput,
                      path + " is a damaged or truncated zip file and cannot be read (" +
                          gerrorText(err, "no zip directory") + ")");
  return pkg;
}

std::shared_ptr<ZipPackage> ZipPackage::fromMemory(std::string bytes, const std::string& name) {
  if (!isZipHead(bytes)) refuseNonZip(std::string_view(bytes).substr(0, 4096), name);
  initGsf();
  std::shared_ptr<ZipPackage> pkg(new ZipPackage);
  pkg->name_ = name;
  pkg->fromMemory_ = true;
  pkg->bytes_ = std::move(bytes);
  pkg->source_.reset(gsf_input_memory_new(reinterpret_cast<const guint8*>(pkg->bytes_.data()),
                                          static_cast<gsf_off_t>(pkg->bytes_.size()), FALSE));
  pkg->fileSize_ = static_cast<int64_t>(pkg->bytes_.size());
  GError* err = nullptr;
  pkg->zip_.reset(gsf_infile_zip_new(pkg->source_.get(), &err));
  if (!pkg->zip_)
    throw EngineError(ErrorKind::BadInput,
                      name + " is a damaged or truncated zip file and cannot be read (" +
                          gerrorText(err, "no zip directory") + ")");
  return pkg;
}

// Walks the folders of the path; each name is matched exactly first, then without regard
// to case. Returns a new reference, or nullptr.
GsfInput* ZipPackage::findPart(GsfInfile* root, std::string_view partPath) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start <= partPath.size()) {
    size_t slash = partPath.find('/', start);
    if (slash == std::string_view::npos) slash = partPath.size();
    if (slash > start) names.emplace_back(partPath.substr(start, slash - start));
    start = slash + 1;
  }
  if (names.empty()) return nullptr;
  GsfInfile* folder = root;
  GPtr<GsfInput> held;  // the current folder, when it is not the root
  for (size_t i = 0; i < names.size(); ++i) {
    GsfInput* child = gsf_infile_child_by_name(folder, names[i].c_str());
    if (!child) {
      int count = gsf_infile_num_children(folder);
      for (int k = 0; k < count && !child; ++k) {
        const char* n = gsf_infile_name_by_index(folder, k);
        if (n && equalsNoCase(n, names[i])) child = gsf_infile_child_by_index(folder, k);
      }
    }
    if (!child) return nullptr;
    if (i + 1 == names.size()) {
      // A folder is not a part.
      if (GSF_IS_INFILE(child) && gsf_infile_num_children(GSF_INFILE(child)) >= 0) {
        g_object_unref(child);
        return nullptr;
      }
      return child;
    }
    if (!GSF_IS_INFILE(child) || gsf_infile_num_children(GSF_INFILE(child)) < 0) {
      g_object_unref(child);
      return nullptr;
    }
    held.reset(child);
    folder = GSF_INFILE(child);
  }
  return nullptr;
}

bool ZipPackage::has(std::string_view partPath) const {
  GPtr<GsfInput> part(findPart(zip_.get(), partPath));
  return part != nullptr;
}

// Every part stream is opened through a zip directory of its own over a source of its own:
// the parts of one GsfInfileZip share their source's read position and a reference count
// that is not atomic, and a large part is read by a thread of its own (see PartInflater)
// while others are opened and read here.
GPtr<GsfInput> ZipPackage::openPart(std::string_view partPath) const {
  GError* err = nullptr;
  GPtr<GsfInput> source(fromMemory_
                            ? gsf_input_memory_new(reinterpret_cast<const guint8*>(bytes_.data()),
                                                   static_cast<gsf_off_t>(bytes_.size()), FALSE)
                            : gsf_input_stdio_new(name_.c_str(), &err));
  if (!source)
    throw EngineError(ErrorKind::Io, "Cannot open " + name_ + ": " + gerrorText(err, "unknown"));
  GPtr<GsfInfile> zip(gsf_infile_zip_new(source.get(), &err));
  if (!zip)
    throw EngineError(ErrorKind::BadInput,
                      name_ + " is a damaged or truncated zip file and cannot be read (" +
                          gerrorText(err, "no zip directory") + ")");
  GPtr<GsfInput> part(findPart(zip.get(), partPath));
  if (!part) return part;
  int64_t size = gsf_input_size(part.get());
  if (size > ZipBombFloor && size / ZipBombRatio > fileSize_)
    throw EngineError(ErrorKind::BadInput,
                      name_ + ": part " + std::string(partPath) + " would inflate to " +
                          std::to_string(size) + " bytes from a file of " +
                          std::to_string(fileSize_) +
                          " bytes, more than a workbook ever compresses (a zip bomb?); the "
                          "file is refused");
  return part;
}

GPtr<GsfInput> ZipPackage::requirePart(std::string_view partPath, std::string_view what) const {
  GPtr<GsfInput> part = openPart(partPath);
  if (!part)
    throw EngineError(ErrorKind::BadInput, name_ + " has no part " + std::string(partPath) + " (" +
                                               std::string(what) +
                                               "): a damaged or incomplete workbook");
  return part;
}

std::string ZipPackage::readPart(std::string_view partPath) const {
  GPtr<GsfInput> part = openPart(partPath);
  std::string out;
  if (!part) return out;
  out.resize(static_cast<size_t>(gsf_input_size(part.get())));
  size_t done = 0;
  while (done < out.size()) {
    size_t n = std::min<size_t>(out.size() - done, 1 << 20);
    if (!gsf_input_read(part.get(), n, reinterpret_cast<guint8*>(out.data() + done)))
      throw EngineError(ErrorKind::BadInput, name_ + ": part " + std::string(partPath) +
                                                 " cannot be inflated (damaged zip file)");
    done += n;
  }
  return out;
}

std::string resolvePartPath(std::string_view baseFolder, std::string_view target) {
  std::string decoded;
  for (size_t i = 0; i < target.size(); ++i) {
    auto hex = [](char c) {
      return c >= '0' && c <= '9'   ? c - '0'
             : c >= 'a' && c <= 'f' ? c - 'a' + 10
             : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                    : -1;
    };
    if (target[i] == '%' && i + 2 < target.size() && hex(target[i + 1]) >= 0 &&
        hex(target[i + 2]) >= 0) {
      decoded += static_cast<char>(hex(target[i + 1]) * 16 + hex(target[i + 2]));
      i += 2;
    } else {
      decoded += target[i] == '\\' ? '/' : target[i];
    }
  }
  std::string joined =
      !decoded.empty() && decoded[0] == '/' ? decoded : std::string(baseFolder) + "/" + decoded;
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= joined.size()) {
    size_t slash = joined.find('/', start);
    if (slash == std::string::npos) slash = joined.size();
    std::string piece = joined.substr(start, slash - start);
    if (piece == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!piece.empty() && piece != ".") {
      parts.push_back(piece);
    }
    start = slash + 1;
  }
  std::string out;
  for (const std::string& p : parts) out += (out.empty() ? "" : "/") + p;
  return out;
}

}  // namespace tabulor::workbook
