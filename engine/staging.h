// Staging: how every output appears whole or not at all. A file is written under a temporary
// name in its target folder and renamed into place when it is complete; everything written
// under a temporary name carries one prefix of ours and stays locked (flock) while its writer
// lives, so a later run tells the leftovers of a killed run (unlocked) from the work of a run
// still going (locked) and removes only the former.
#pragma once

#include <string>
#include <string_view>

#include "engine/message_text.h"

namespace tabulor {

// Every temporary file, staging folder and output lock of ours starts with this.
inline constexpr std::string_view StagingPrefix = ".tabulor~";

bool isStagingName(std::string_view fileName);

// A new file beside `finalPath`, open for writing, locked, removed again unless committed.
class StagedFile {
 public:
  // Throws EngineError(Io) naming finalPath and the system's reason.
  explicit StagedFile(std::string finalPath);
  ~StagedFile();
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  int fd() const { return fd_; }
  const std::string& stagingPath() const { return stagingPath_; }
  const std::string& finalPath() const { return finalPath_; }

  // Closes the file, checking that every byte reached the disk, and renames it to the final
  // path, replacing any file there. Throws EngineError(Io) naming the final path; the staged
  // file is removed then.
  void commit();

 private:
  std::string finalPath_, stagingPath_;
  int fd_ = -1;
  bool committed_ = false;
};

// A private folder inside `folder` for the outputs of one source while they are written,
// locked while it lives; its contents are removed with it.
class StagingFolder {
 public:
  // Throws EngineError(Io) naming `folder` and the reason (missing, read-only, disk full).
  explicit StagingFolder(const std::string& folder);
  ~StagingFolder();
  StagingFolder(const StagingFolder&) = delete;
  StagingFolder& operator=(const StagingFolder&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
  int fd_ = -1;
};

// A claim on one output path while one source is converted, so that two runs never write
// the same output at once. Throws EngineError(Exists) when another run holds it, naming the
// path, and EngineError(Io) when the lock cannot be made.
class OutputLock {
 public:
  explicit OutputLock(const std::string& outputPath);
  ~OutputLock();
  OutputLock(const OutputLock&) = delete;
  OutputLock& operator=(const OutputLock&) = delete;

 private:
  std::string lockPath_;
  int fd_ = -1;
};

// The file name of the lock of output `fileName` (kept under the file-name limit).
std::string outputLockName(std::string_view fileName);

// Removes the staging files, folders and output locks of ours in `folder` that no living
// process holds: what a killed run left. Returns how many entries were removed; never
// throws.
int sweepStaleStaging(const std::string& folder);

}  // namespace tabulor
