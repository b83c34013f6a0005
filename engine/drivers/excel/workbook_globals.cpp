// Parsing the workbook globals substream.
#include "engine/drivers/excel/workbook_globals.h"

#include "engine/drivers/excel/biff_records.h"
#include "engine/engine_error.h"
#include "engine/text_codec.h"

namespace tabulor::excel {

const char* codePageName(uint16_t cp) {
  switch (cp) {
    case 367:
      return "ASCII";
    case 437:
      return "CP437";
    case 737:
      return "CP737";
    case 775:
      return "CP775";
    case 850:
      return "CP850";
    case 852:
      return "CP852";
    case 855:
      return "CP855";
    case 857:
      return "CP857";
    case 860:
      return "CP860";
    case 861:
      return "CP861";
    case 862:
      return "CP862";
    case 863:
      return "CP863";
    case 864:
      return "CP864";
    case 865:
      return "CP865";
    case 866:
      return "CP866";
    case 869:
      return "CP869";
    case 874:
      return "CP874";
    case 932:
      return "CP932";
    case 936:
      return "CP936";
    case 949:
      return "CP949";
    case 950:
      return "CP950";
    case 1250:
      return "CP1250";
    case 1251:
      return "CP1251";
    case 1253:
      return "CP1253";
    case 1254:
      return "CP1254";
    case 1255:
      return "CP1255";
    case 1256:
      return "CP1256";
    case 1257:
      return "CP1257";
    case 1258:
      return "CP1258";
    case 10000:
    case 32768:
      return "MACINTOSH";
    default:
      return "CP1252";  // 1252, 32769 and anything unknown
  }
}

std::string decode8Bit(std::string_view bytes, const char* codePage) {
  bool ascii = true;
  for (char c : bytes)
    if (static_cast<unsigned char>(c) >= 0x80) ascii = false;
  if (ascii) return std::string(bytes);
  if (std::string_view(codePage) == "CP1252") return cp1252ToUtf8(bytes);
  return fromCodePage(bytes, codePage);
}

namespace {

std::string trimRight(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
  return s;
}

// A sheet or defined name as BIFF8 (option byte + characters) or BIFF5 (code-page bytes)
// stores it, starting at `pos` of `data`, with `count` characters.
std::string nameAt(std::string_view data, size_t pos, size_t count, const WorkbookGlobals& g) {
  if (pos > data.size()) return {};
  if (g.biff == 8) {
    ContinuedReader r(data.substr(pos), nullptr);
    uint8_t flags = r.u8();
    std::string out;
    r.chars(count, flags, out);
    return out;
  }
  return decode8Bit(data.substr(pos, count), g.codePage);
}

}  // namespace

WorkbookGlobals parseGlobals(std::string_view stream, const std::string& fileName) {
  WorkbookGlobals g;
  RecordWalker walker(stream, 0);
  Record r;
  if (!walker.next(r) ||
      (r.type != rec::Bof && r.type != rec::Bof2 && r.type != rec::Bof3 && r.type != rec::Bof4))
    throw EngineError(ErrorKind::BadInput,
                      fileName +
                          ": the workbook stream does not begin with a BOF record "
                          "(damaged or not an Excel workbook)");
  if (r.type != rec::Bof || r.data.size() < 4)
    throw EngineError(ErrorKind::Unsupported,
                      fileName +
                          " is an Excel 4.0 or older workbook; only Excel 5.0 to 2003 "
                          "workbooks (.xls) can be read");
  uint16_t version = u16At(r.data.data());
  uint16_t kind = u16At(r.data.data() + 2);
  if (version == 0x0600)
    g.biff = 8;
  else if (version == 0x0500)
    g.biff = 5;
  else
    throw EngineError(
        ErrorKind::Unsupported, fileName + " has a BIFF version (0x" + [&] {
          char b[8];
          std::snprintf(b, sizeof b, "%04X", version);
          return std::string(b);
        }() + ") this reader does not know; only Excel 5.0 to 2003 workbooks can be read");
  if (kind != 0x0005)
    throw EngineError(ErrorKind::Unsupported,
                      fileName +
                          " holds a single worksheet or chart, not a workbook (Excel 5.0 "
                          "to 2003 workbooks can be read)");

  bool sawEof = false;
  uint16_t xfCount = 0;
  while (walker.next(r)) {
    const char* d = r.data.data();
    size_t n = r.data.size();
    switch (r.type) {
      case rec::FilePass:
        throw EngineError(ErrorKind::Unsupported,
                          fileName +
                              " is protected with a password (encrypted); remove the "
                              "password in Excel and save it again to convert it");
      case rec::CodePage:
        if (n >= 2) g.codePage = codePageName(u16At(d));
        break;
      case rec::DateMode:
        if (n >= 2) g.date1904 = u16At(d) == 1;
        break;
      case rec::WriteAccess:
        if (g.biff == 8 && n >= 3) {
          g.writeAccess = trimRight(nameAt(r.data, 2, u16At(d), g));
        } else if (n >= 1) {
          g.writeAccess = trimRight(decode8Bit(r.data.substr(1, d[0]), g.codePage));
        }
        break;
      case rec::Format:
      case 0x001E:  // FORMAT of BIFF4/5
        if (n >= 3) {
          uint16_t index = u16At(d);
          std::string text;
          if (g.biff == 8) {
            ContinuedReader cr(r.data.substr(2), &walker);
            text = cr.unicodeString(true);
          } else {
            size_t len = static_cast<uint8_t>(d[2]);
            text = decode8Bit(r.data.substr(3, len), g.codePage);
          }
          g.formats.addFormat(index, text);
        }
        break;
      case rec::Xf:
        if (n >= 4) {
          g.formats.addXf(u16At(d + 2));
          ++xfCount;
        }
        break;
      case rec::BoundSheet:
        if (n >= 7) {
          SheetEntry s;
          s.offset = u32At(d);
          s.visibility = static_cast<uint8_t>(d[4]) & 3;
          s.type = static_cast<uint8_t>(d[5]);
          s.name = nameAt(r.data, 7, static_cast<uint8_t>(d[6]), g);
          g.sheets.push_back(std::move(s));
        }
        break;
      case rec::Name:
        if (n >= 14) {
          uint16_t flags = u16At(d);
          size_t count = static_cast<uint8_t>(d[3]);
          // Hidden names and built-in ones (print areas, filter ranges) are not tables.
          if ((flags & 0x0001) || (flags & 0x0020) || count == 0) break;
          DefinedName dn;
          dn.sheetIndex = u16At(d + 8);
          dn.name = nameAt(r.data, 14, count, g);
          if (!dn.name.empty()) g.names.push_back(std::move(dn));
        }
        break;
      case rec::Sst:
        if (g.biff == 8 && n >= 8) {
          ContinuedReader cr(r.data, &walker);
          g.sharedStringRefs = cr.u32();
          uint32_t unique = cr.u32();
          // The count is a claim; the records bound what is really there.
          g.sharedStrings.reserve(std::min<size_t>(unique, stream.size() / 3));
          for (uint32_t i = 0; i < unique && !cr.atEnd() && cr.ok(); ++i)
            g.sharedStrings.push_back(cr.unicodeString(true));
        }
        break;
      case rec::Eof:
        sawEof = true;
        break;
      default:
        break;
    }
    if (sawEof) break;
  }
  if (!sawEof)
    throw EngineError(ErrorKind::BadInput,
                      fileName +
                          ": the workbook's global records are cut short (truncated or "
                          "damaged file)");
  g.globalsEnd = walker.position();
  return g;
}

}  // namespace tabulor::excel
