// Writing the workbook globals, with the BOUNDSHEET offsets patched once their sizes are
// known.
#include "engine/drivers/excel/workbook_globals_writer.h"

#include "engine/drivers/excel/biff_records.h"
#include "engine/drivers/excel/biff_strings.h"
#include "engine/drivers/excel/sheet_writer.h"
#include "engine/drivers/excel/workbook_writer.h"

namespace tabulor::excel {

namespace {

void font(std::string& out, bool bold) {
  std::string d;
  putU16(d, 200);               // 10 pt
  putU16(d, 0);                 // no italic, strike-out, ...
  putU16(d, 0x7FFF);            // automatic colour
  putU16(d, bold ? 700 : 400);  // weight
  putU16(d, 0);                 // no super- or subscript
  putU8(d, 0);                  // no underline
  putU8(d, 0);                  // family
  putU8(d, 0);                  // character set
  putU8(d, 0);
  putShortString(d, u"Arial");
  putRecord(out, rec::Font, d);
}

void format(std::string& out, uint16_t index, const std::u16string& text) {
  std::string d;
  putU16(d, index);
  putLongString(d, text);
  putRecord(out, rec::Format, d);
}

void xfRecord(std::string& out, uint16_t formatIndex, bool styleXf) {
  std::string d;
  putU16(d, 0);  // font 0
  putU16(d, formatIndex);
  putU16(d, styleXf ? 0xFFF5 : 0x0001);  // locked; a style XF, or a cell XF of style 0
  putU8(d, 0x20);                        // aligned at the bottom
  putU8(d, 0);
  putU8(d, 0);
  putU8(d, styleXf ? 0xF4 : 0xFC);  // a cell XF sets every attribute itself
  putU32(d, 0);
  putU32(d, 0);
  putU16(d, 0x20C0);  // automatic pattern colours
  putRecord(out, rec::Xf, d);
}

constexpr uint16_t DateFormat = 164, DateTimeFormat = 165;

}  // namespace

std::string buildGlobals(const std::vector<std::string>& sheetNames,
                         const std::vector<size_t>& sheetSizes,
                         const SharedStringsWriter& strings) {
  std::string out, d;
  putU16(d, 0x0600);
  putU16(d, 0x0005);
  putU16(d, 0x0DBB);
  putU16(d, 0x07CC);
  putU32(d, 0);
  putU32(d, 6);
  putRecord(out, rec::Bof, d);

  // WRITEACCESS: the user name, padded with blanks to 112 bytes.
  d.clear();
  putLongString(d, utf8ToUnits(WriterName));
  d.resize(112, ' ');
  putRecord(out, rec::WriteAccess, d);

  d.clear();
  putU16(d, 1200);  // strings are UTF-16
  putRecord(out, rec::CodePage, d);

  d.clear();
  for (uint16_t v : {0x01E0, 0x005A, 0x3FCF, 0x2A4E, 0x0038, 0, 0, 1, 0x0258}) putU16(d, v);
  putRecord(out, rec::Window1, d);

  d.clear();
  putU16(d, 0);  // the 1900 date system
  putRecord(out, rec::DateMode, d);

  // Font index 4 does not exist in BIFF: five records give indices 0-3 and 5.
  for (int i = 0; i < 5; ++i) font(out, false);

  // ISO dates, which read the same in every locale.
  format(out, DateFormat, u"yyyy\\-mm\\-dd");
  format(out, DateTimeFormat, u"yyyy\\-mm\\-dd\\ hh:mm:ss");

  for (int i = 0; i < 15; ++i) xfRecord(out, 0, true);
  xfRecord(out, 0, false);               // xf::General
  xfRecord(out, DateFormat, false);      // xf::Date
  xfRecord(out, DateTimeFormat, false);  // xf::DateTime
  xfRecord(out, 21, false);              // xf::Time: built-in h:mm:ss

  d.clear();
  putU16(d, 0x8000);  // built-in style "Normal" on XF 0
  putU8(d, 0);
  putU8(d, 0xFF);
  putRecord(out, rec::Style, d);

  std::vector<size_t> offsetPositions;
  for (const std::string& name : sheetNames) {
    d.clear();
    putU32(d, 0);  // patched below
    putU8(d, 0);   // visible
    putU8(d, 0);   // worksheet
    putShortString(d, utf8ToUnits(name));
    offsetPositions.push_back(out.size() + 4);
    putRecord(out, rec::BoundSheet, d);
  }

  strings.write(out, out.size());
  putRecord(out, rec::Eof, {});

  size_t offset = out.size();
  for (size_t i = 0; i < sheetNames.size(); ++i) {
    std::string patch;
    putU32(patch, static_cast<uint32_t>(offset));
    out.replace(offsetPositions[i], 4, patch);
    offset += sheetSizes[i];
  }
  return out;
}

}  // namespace tabulor::excel
