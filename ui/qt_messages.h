// The window's Messages: plain modal message boxes with an OK button and no icon.
#pragma once

#include <QWidget>

#include "convert/messages.h"

namespace tabulor {

class QtMessages : public Messages {
 public:
  explicit QtMessages(QWidget* owner) : owner_(owner) {}
  void show(const std::string& text, const std::string& caption) override;

 private:
  QWidget* owner_;
};

}  // namespace tabulor
