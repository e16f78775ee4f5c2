#include "cli/progress_line.h"

namespace cli {
namespace {

std::string duration(double seconds) {
  const auto total = static_cast<long long>(seconds + 0.5);
  char text[32];
  if (total >= 3600) std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60, total % 60);
  else std::snprintf(text, sizeof text, "%lld:%02lld", total / 60, total % 60);
  return text;
}

}  // namespace

ProgressLine::ProgressLine(bool enabled, size_t files, uint64_t bytes)
    : enabled_(enabled), files_(files), bytes_(bytes), start_(std::chrono::steady_clock::now()) {}

void ProgressLine::fileDone(uint64_t bytes) {
  ++filesDone_;
  bytesDone_ += bytes;
}

void ProgressLine::methodDone(bool failed) {
  ++methods_;
  if (failed) ++failedMethods_;
}

void ProgressLine::fileFailed() { ++failedFiles_; }

std::string ProgressLine::text() const {
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  std::string line = "files " + std::to_string(filesDone_) + "/" + std::to_string(files_) + ", methods " +
                     std::to_string(methods_);
  if (failures() > 0) line += ", " + std::to_string(failures()) + " failed";
  line += ", " + duration(elapsed) + " elapsed";
  // The remaining time from the share of source bytes done.
  if (bytesDone_ > 0 && bytesDone_ < bytes_) {
    const double left = elapsed * static_cast<double>(bytes_ - bytesDone_) / static_cast<double>(bytesDone_);
    line += ", about " + duration(left) + " left";
  }
  return line;
}

void ProgressLine::clear() {
  if (shown_) std::fputs("\r\x1b[K", stderr);
  shown_ = false;
}

void ProgressLine::message(const std::string& text) {
  clear();
  std::fprintf(stderr, "%s\n", text.c_str());
  if (enabled_) draw(true);
}

void ProgressLine::draw(bool force) {
  if (!enabled_) return;
  const auto now = std::chrono::steady_clock::now();
  if (!force && shown_ && now - lastDrawn_ < std::chrono::milliseconds(100)) return;
  lastDrawn_ = now;
  std::fprintf(stderr, "\r%s\x1b[K", text().c_str());
  std::fflush(stderr);
  shown_ = true;
}

void ProgressLine::finish() {
  if (!enabled_) return;
  draw(true);
  std::fputc('\n', stderr);
  shown_ = false;
}

}  // namespace cli
