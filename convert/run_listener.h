// RunListener: what a conversion run tells its owner besides message boxes. The command
// line prints it as it comes; the window collects it for the summary at the end of a run.
#pragma once

#include <cstddef>
#include <string>

namespace tabulor {

class RunListener {
 public:
  virtual ~RunListener() = default;
  // File `index` (0-based) of `count` is about to be converted.
  virtual void fileStarted(size_t /*index*/, size_t /*count*/, const std::string& /*path*/) {}
  // A file that was not converted, and why (it cannot be read, it holds no table, its
  // outputs would replace a source of the run, ...). The run goes on with the next file.
  virtual void fileSkipped(const std::string& path, const std::string& reason) = 0;
  // A file whose conversion failed after it started, and why (the failure has been shown
  // already, as the conversion path does for it).
  virtual void fileFailed(const std::string& /*path*/, const std::string& /*reason*/) {}
  // Something about a converted file that the user should know: a table left out, an
  // output renamed so that it does not replace another.
  virtual void notice(const std::string& path, const std::string& text) = 0;
};

}  // namespace tabulor
