// RunPlan: the one place that knows every file a conversion run reads and writes. It holds
// the run's sources (all known before the first conversion) and every output path a file of
// the run has claimed, so that no output replaces a source of the run or an output an earlier
// file wrote; it locks claimed outputs against other runs while a file is converted, and it
// clears what killed runs left in the output folder.
#pragma once

#include <sys/types.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/staging.h"

namespace tabulor {

class RunPlan {
 public:
  // `sources` are the run's files in the order they will be converted; stale staging files
  // of killed runs in `outputFolder` are removed.
  RunPlan(std::vector<std::string> sources, std::string outputFolder);

  const std::vector<std::string>& sources() const { return sources_; }
  const std::string& outputFolder() const { return outputFolder_; }

  // The outputs claimed by one source, locked against other runs while the claim lives.
  class Claim {
   public:
    Claim() = default;
    Claim(Claim&&) = default;
    Claim& operator=(Claim&&) = default;

   private:
    friend class RunPlan;
    std::map<std::string, std::unique_ptr<OutputLock>> locks_;  // by normalised path
  };

  // Claims every path of `outputs` for `source`, all or none. Throws EngineError(Exists)
  // naming both paths when one of them is a file of this run's sources or an output that
  // another source of the run claimed, and when another run is writing it. Claiming a path
  // twice for the same source is allowed.
  Claim claim(const std::string& source, const std::vector<std::string>& outputs);
  // Adds one more path to `claim`, as claim() does.
  void extend(Claim& claim, const std::string& source, const std::string& output);

 private:
  // Why `output` may not be written for `source`; "" when it may.
  std::string conflict(const std::string& source, const std::string& output) const;

  std::vector<std::string> sources_;
  std::string outputFolder_;
  std::map<std::pair<dev_t, ino_t>, std::string> sourceFiles_;  // file identity -> source
  std::map<std::string, std::string> claimed_;                  // normalised path -> source
};

}  // namespace tabulor
