// Jet 4 text as stored in rows and long values: UTF-16LE, or Jet's "compressed" form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tabulor::jet {

// Decodes Jet 4 text bytes (UTF-16LE, or the FF FE "compressed" form) to UTF-8.
std::string jet4TextToUtf8(const uint8_t* data, size_t size);

}  // namespace tabulor::jet
