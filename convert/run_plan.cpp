// The run plan: sources by file identity, claimed outputs by normalised path.
#include "convert/run_plan.h"

#include <sys/stat.h>

#include <filesystem>

#include "engine/engine_error.h"

namespace tabulor {

namespace {

// The absolute, lexically normal form of a path, so that "out/a.csv", "./out/a.csv" and
// "/home/u/out/a.csv" compare equal.
std::string normalised(const std::string& path) {
  std::error_code ec;
  std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  if (ec) absolute = path;
  return absolute.lexically_normal().string();
}

}  // namespace

RunPlan::RunPlan(std::vector<std::string> sources, std::string outputFolder)
    : sources_(std::move(sources)), outputFolder_(std::move(outputFolder)) {
  for (const std::string& source : sources_) {
    struct stat st;
    if (::stat(source.c_str(), &st) == 0)
      sourceFiles_.emplace(std::pair{st.st_dev, st.st_ino}, source);
  }
  sweepStaleStaging(outputFolder_.empty() ? "/" : outputFolder_);
}

std::string RunPlan::conflict(const std::string& source, const std::string& output) const {
  struct stat st;
  if (::stat(output.c_str(), &st) == 0) {
    auto hit = sourceFiles_.find({st.st_dev, st.st_ino});
    if (hit != sourceFiles_.end())
      return hit->second == source ? "its output " + output + " is the source file itself"
                                   : "its output " + output + " would replace " + hit->second +
                                         ", another file of this run";
  }
  auto taken = claimed_.find(normalised(output));
  if (taken != claimed_.end() && taken->second != source)
    return "its output " + output + " was already written from " + taken->second + " in this run";
  return {};
}

RunPlan::Claim RunPlan::claim(const std::string& source, const std::vector<std::string>& outputs) {
  for (const std::string& output : outputs) {
    std::string why = conflict(source, output);
    if (!why.empty()) throw EngineError(ErrorKind::Exists, why);
  }
  Claim claim;
  try {
    for (const std::string& output : outputs) extend(claim, source, output);
  } catch (...) {
    // All or none: paths this call recorded are free again.
    for (const auto& [key, lock] : claim.locks_) {
      auto entry = claimed_.find(key);
      if (entry != claimed_.end() && entry->second == source && lock) claimed_.erase(entry);
    }
    throw;
  }
  return claim;
}

void RunPlan::extend(Claim& claim, const std::string& source, const std::string& output) {
  std::string why = conflict(source, output);
  if (!why.empty()) throw EngineError(ErrorKind::Exists, why);
  std::string key = normalised(output);
  if (claim.locks_.count(key)) return;
  claim.locks_.emplace(key, std::make_unique<OutputLock>(output));
  claimed_.emplace(std::move(key), source);
}

}  // namespace tabulor
