// Reading data that runs on across CONTINUE records, and BIFF8 strings within it.
#include "engine/drivers/excel/biff_records.h"

#include "engine/drivers/excel/biff_strings.h"

namespace tabulor::excel {

bool ContinuedReader::advance() {
  if (!walker_ || walker_->peekType() != rec::Continue) return false;
  Record r;
  if (!walker_->next(r)) return false;
  cur_ = r.data;
  pos_ = 0;
  return true;
}

bool ContinuedReader::atEnd() {
  while (pos_ >= cur_.size())
    if (!advance()) return true;
  return false;
}

uint8_t ContinuedReader::u8() {
  while (pos_ >= cur_.size()) {
    if (!advance()) {
      ok_ = false;
      return 0;
    }
  }
  return static_cast<uint8_t>(cur_[pos_++]);
}

uint16_t ContinuedReader::u16() {
  if (pos_ + 2 <= cur_.size()) {
    uint16_t v = u16At(cur_.data() + pos_);
    pos_ += 2;
    return v;
  }
  uint16_t lo = u8();
  return static_cast<uint16_t>(lo | (u8() << 8));
}

uint32_t ContinuedReader::u32() {
  uint32_t lo = u16();
  return lo | (static_cast<uint32_t>(u16()) << 16);
}

void ContinuedReader::skip(size_t n) {
  while (n > 0) {
    if (pos_ >= cur_.size() && !advance()) {
      ok_ = false;
      return;
    }
    size_t take = std::min(n, cur_.size() - pos_);
    pos_ += take;
    n -= take;
  }
}

void ContinuedReader::chars(size_t count, uint8_t flags, std::string& out) {
  bool wide = flags & 1;
  units_.clear();
  while (count > 0) {
    if (pos_ >= cur_.size()) {
      // Character data split across records: the CONTINUE begins with its own option
      // byte, which may switch between 8-bit and 16-bit characters.
      if (!advance() || cur_.empty()) {
        ok_ = false;
        break;
      }
      wide = static_cast<uint8_t>(cur_[0]) & 1;
      pos_ = 1;
      continue;
    }
    size_t avail = cur_.size() - pos_;
    if (wide) {
      size_t n = std::min(count, avail / 2);
      if (n == 0) {  // an odd byte left over: damaged, stop here
        ok_ = false;
        break;
      }
      for (size_t k = 0; k < n; ++k) units_.push_back(u16At(cur_.data() + pos_ + 2 * k));
      pos_ += 2 * n;
      count -= n;
    } else {
      size_t n = std::min(count, avail);
      for (size_t k = 0; k < n; ++k) units_.push_back(static_cast<uint8_t>(cur_[pos_ + k]));
      pos_ += n;
      count -= n;
    }
  }
  appendUtf16AsUtf8(units_, out);
}

std::string ContinuedReader::unicodeString(bool wideCount) {
  size_t count = wideCount ? u16() : u8();
  uint8_t flags = u8();
  size_t runs = (flags & 0x08) ? u16() : 0;
  size_t phonetic = (flags & 0x04) ? u32() : 0;
  std::string out;
  if (ok_) chars(count, flags, out);
  skip(runs * 4);
  skip(phonetic);
  return out;
}

}  // namespace tabulor::excel
