// The progress line of the command line.
#include "app/terminal_progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "preview/cell_format.h"

namespace tabulor {

namespace {

// Redrawing more often than this only costs time; nobody reads faster.
constexpr auto DrawInterval = std::chrono::milliseconds(100);

void writeAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // a terminal that went away: the progress is not worth an error
    done += static_cast<size_t>(n);
  }
}

// The first `columns` characters of `text`, never splitting a UTF-8 sequence.
std::string cutToColumns(const std::string& text, int columns) {
  int seen = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
    if (seen++ == columns) return text.substr(0, i);
  }
  return text;
}

}  // namespace

TerminalProgress::TerminalProgress(bool draw, const std::atomic<bool>* cancel, int fd)
    : ForwardingListener(nullptr), draw_(draw), cancel_(cancel), fd_(fd) {}

TerminalProgress::~TerminalProgress() {
  clear();
}

void TerminalProgress::fileStarted(size_t index, size_t count, const std::string& path) {
  index_ = index;
  count_ = count;
  const size_t slash = path.rfind('/');
  name_ = slash == std::string::npos ? path : path.substr(slash + 1);
  table_.clear();
  rows_ = 0;
  redraw();
}

void TerminalProgress::tableStarted(const std::string& /*path*/, const std::string& table) {
  table_ = table;
  rows_ = 0;
  redraw();
}

void TerminalProgress::rowsWritten(int64_t rows) {
  rows_ = rows;
  // The clock is read once every 1,024 rows: this runs for every row.
  if (!draw_ || (rows & 1023) != 0) return;
  if (std::chrono::steady_clock::now() - lastDraw_ >= DrawInterval) redraw();
}

std::string TerminalProgress::lineText(int columns) const {
  std::string line = "[" + std::to_string(index_ + 1) + "/" + std::to_string(count_) + "] " + name_;
  if (!table_.empty()) line += ": " + table_;
  line += ", " + formatGroupedNumber(static_cast<double>(rows_), 0) + " rows";
  // One column short of the width: a line that fills it would wrap on some terminals, and
  // "\r" would then rewrite only its last part.
  return cutToColumns(line, std::max(columns - 1, 10));
}

void TerminalProgress::redraw() {
  // Once a stop is asked for, what is left to say is the run's last message.
  if (!draw_ || count_ == 0 || cancelRequested()) return;
  winsize size{};
  const int columns = ::ioctl(fd_, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
  writeAll(fd_, "\r" + lineText(columns) + "\x1b[K");
  shown_ = true;
  lastDraw_ = std::chrono::steady_clock::now();
}

void TerminalProgress::clear() {
  if (!shown_) return;
  writeAll(fd_, "\r\x1b[K");
  shown_ = false;
}

}  // namespace tabulor
