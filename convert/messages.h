// Messages: the one way the conversion code and the window tell the user something. The
// window shows message boxes, a batch run writes "Caption: text" lines to standard error,
// and tests record what would have been shown.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tabulor {

class Messages {
 public:
  virtual ~Messages() = default;
  // Shows `text` under `caption` and returns when the user has seen it.
  virtual void show(const std::string& text, const std::string& caption) = 0;
};

// Writes each message to standard error as "Caption: text".
class StderrMessages : public Messages {
 public:
  void show(const std::string& text, const std::string& caption) override;
};

// Keeps every message, for tests.
class RecordingMessages : public Messages {
 public:
  void show(const std::string& text, const std::string& caption) override {
    shown.emplace_back(caption, text);
  }
  std::vector<std::pair<std::string, std::string>> shown;  // (caption, text)
};

}  // namespace tabulor
