// The driver registry. Adding a driver: write its folder under drivers/, give it a
// function `const Driver& <name>Driver()`, and add one X(<name>) line below.
#include "engine/registry.h"

#include <cctype>

#include "engine/file_names.h"

#define TABULOR_DRIVERS(X) \
  X(text)                  \
  X(jet)                   \
  X(excel)                 \
  X(dbase3)                \
  X(dbase4)                \
  X(dbase5)                \
  X(html)                  \
  X(lotus)                 \
  X(xlsx)                  \
  X(ods)

namespace tabulor {

#define TABULOR_DECLARE_DRIVER(name) const Driver& name##Driver();
TABULOR_DRIVERS(TABULOR_DECLARE_DRIVER)
#undef TABULOR_DECLARE_DRIVER

const std::vector<const Driver*>& allDrivers() {
#define TABULOR_LIST_DRIVER(name) &name##Driver(),
  static const std::vector<const Driver*> drivers = {TABULOR_DRIVERS(TABULOR_LIST_DRIVER)};
#undef TABULOR_LIST_DRIVER
  return drivers;
}

const Driver* findDriver(std::string_view isam) {
  while (!isam.empty() && std::isspace(static_cast<unsigned char>(isam.front())))
    isam.remove_prefix(1);
  while (!isam.empty() && std::isspace(static_cast<unsigned char>(isam.back())))
    isam.remove_suffix(1);
  for (const Driver* driver : allDrivers())
    for (const auto& name : driver->info().isamNames)
      if (equalsNoCase(name, isam)) return driver;
  return nullptr;
}

}  // namespace tabulor
