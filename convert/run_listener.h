// RunListener: what a conversion run tells its owner besides message boxes, and how the owner
// stops it. The command line prints it as it comes (a progress line on a terminal); the
// window's worker keeps it for the progress dialog and the summary at the end of a run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tabulor {

class RunListener {
 public:
  virtual ~RunListener() = default;
  // File `index` (0-based) of `count` is about to be converted.
  virtual void fileStarted(size_t /*index*/, size_t /*count*/, const std::string& /*path*/) {}
  // A table (or sheet) of the current file is about to be written, under its source name.
  virtual void tableStarted(const std::string& /*path*/, const std::string& /*table*/) {}
  // `rows` rows of the current table are written. Called at row boundaries, once per row,
  // on the converting thread: keep it cheap.
  virtual void rowsWritten(int64_t /*rows*/) {}
  // True when the owner wants the run to stop, as Cancel or Ctrl+C ask. Asked at row
  // boundaries and between files, as often as rowsWritten; the run then ends like a failing
  // statement (the table being written is removed, earlier outputs stay) without a message,
  // and the remaining files are not started.
  virtual bool cancelRequested() { return false; }
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

// Forwards everything to `inner` (which may be null); the base of listeners that look at
// part of a run and pass the rest on.
class ForwardingListener : public RunListener {
 public:
  explicit ForwardingListener(RunListener* inner) : inner_(inner) {}
  void fileStarted(size_t index, size_t count, const std::string& path) override {
    if (inner_) inner_->fileStarted(index, count, path);
  }
  void tableStarted(const std::string& path, const std::string& table) override {
    if (inner_) inner_->tableStarted(path, table);
  }
  void rowsWritten(int64_t rows) override {
    if (inner_) inner_->rowsWritten(rows);
  }
  bool cancelRequested() override { return inner_ && inner_->cancelRequested(); }
  void fileSkipped(const std::string& path, const std::string& reason) override {
    if (inner_) inner_->fileSkipped(path, reason);
  }
  void fileFailed(const std::string& path, const std::string& reason) override {
    if (inner_) inner_->fileFailed(path, reason);
  }
  void notice(const std::string& path, const std::string& text) override {
    if (inner_) inner_->notice(path, text);
  }

 protected:
  RunListener* inner() const { return inner_; }

 private:
  RunListener* inner_;
};

}  // namespace tabulor
