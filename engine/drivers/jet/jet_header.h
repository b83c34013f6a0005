// Page 0 of a Jet database: the signature check done before any library sees a file, the
// RC4 mask over the header's middle bytes, the database-password test, and the header
// page of a new Jet 4 database.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tabulor::jet {

inline constexpr size_t PageSize = 4096;  // Jet 4; Jet 3 pages are 2048 bytes

struct HeaderInfo {
  int version = 0;           // 0 Jet 3, 1 Jet 4, 2.. ACE
  bool hasPassword = false;  // a database password is set
  bool encrypted = false;    // pages are encoded with a database key
  double creationDate = 0;   // OLE date (Jet 4 only)
};

// Checks the first bytes of a file ("Standard Jet DB" / "Standard ACE DB" at offset 4 and
// a known version byte). Returns false for anything else; `head` may be shorter than a page.
bool looksLikeJet(std::string_view head);

// Reads the (unmasked) header fields of page 0. `page0` holds at least 0xA0 bytes.
HeaderInfo readHeader(std::string_view page0);

// Applies (or removes: the operation is its own inverse) the RC4 mask over bytes
// 0x18..0x97 of a page-0 image.
void applyHeaderMask(std::string& page0);

// A complete page 0 of an empty Jet 4 database created at OLE date `creationDate`, with no
// password, code page 1252 and the General sort order.
std::string makeJet4HeaderPage(double creationDate);

}  // namespace tabulor::jet
