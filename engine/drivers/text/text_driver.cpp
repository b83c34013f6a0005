// The "Text" driver: delimited text files in a folder, read and written.
#include "engine/driver.h"

namespace tabulor {

namespace {

class TextDriver : public Driver {
 public:
  const DriverInfo& info() const override {
    static const DriverInfo info = {{"Text"}, "Text", {".txt", ".csv", ".tab", ".asc"}, true,
                                    true, false, {}};
    return info;
  }
};

}  // namespace

const Driver& textDriver() {
  static const TextDriver driver;
  return driver;
}

}  // namespace tabulor
