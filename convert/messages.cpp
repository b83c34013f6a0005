// Standard-error messages of batch runs.
#include "convert/messages.h"

#include <cstdio>

namespace tabulor {

void StderrMessages::show(const std::string& text, const std::string& caption) {
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  std::fflush(stderr);
}

}  // namespace tabulor
