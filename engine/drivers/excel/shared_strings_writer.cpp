// Laying out the shared string table across SST and CONTINUE records.
#include "engine/drivers/excel/shared_strings_writer.h"

#include "engine/drivers/excel/biff_records.h"
#include "engine/drivers/excel/biff_strings.h"

namespace tabulor::excel {

uint32_t SharedStringsWriter::add(std::string_view utf8) {
  auto [it, inserted] =
      index_.try_emplace(std::string(utf8), static_cast<uint32_t>(entries_.size()));
  if (inserted) {
    std::u16string units = utf8ToUnits(utf8);
    std::string body;
    appendBiff8Chars(units, body);
    entries_.push_back(std::move(body));
    unitCounts_.push_back(static_cast<uint16_t>(units.size()));
  }
  return it->second;
}

void SharedStringsWriter::write(std::string& out, size_t streamOffset) const {
  // Records are built in `cur` and moved to `out` when full. A string's count and option
  // byte (and its first character) never straddle two records; characters that do go on
  // in a CONTINUE that begins with the option byte again.
  const size_t base = streamOffset - out.size();  // stream position of out[0]
  std::string cur;
  uint16_t curType = rec::Sst;
  auto flush = [&] {
    putRecordHeader(out, curType, cur.size());
    out += cur;
    cur.clear();
    curType = rec::Continue;
  };
  putU32(cur, references_);
  putU32(cur, static_cast<uint32_t>(entries_.size()));

  const size_t perBucket = std::max<size_t>(8, (entries_.size() + 127) / 128);
  std::string extsst;
  putU16(extsst, static_cast<uint16_t>(perBucket));

  for (size_t i = 0; i < entries_.size(); ++i) {
    const std::string& body = entries_[i];
    const uint8_t option = static_cast<uint8_t>(body[0]);
    const size_t width = (option & 1) ? 2 : 1;
    size_t charsLeft = unitCounts_[i];
    size_t need = 3 + (charsLeft > 0 ? width : 0);
    if (cur.size() + need > MaxRecordData) flush();
    if (i % perBucket == 0) {
      // Position of the string in the stream, and within its record counting the header.
      size_t recordStart = base + out.size();
      putU32(extsst, static_cast<uint32_t>(recordStart + 4 + cur.size()));
      putU16(extsst, static_cast<uint16_t>(4 + cur.size()));
      putU16(extsst, 0);
    }
    putU16(cur, unitCounts_[i]);
    cur.push_back(static_cast<char>(option));
    size_t at = 1;
    while (charsLeft > 0) {
      size_t fit = (MaxRecordData - cur.size()) / width;
      if (fit == 0) {
        flush();
        cur.push_back(static_cast<char>(option));
        continue;
      }
      size_t n = std::min(fit, charsLeft);
      cur.append(body, at, n * width);
      at += n * width;
      charsLeft -= n;
    }
  }
  flush();
  putRecord(out, rec::ExtSst, extsst);
}

}  // namespace tabulor::excel
