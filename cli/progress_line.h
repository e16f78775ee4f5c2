// The one-line progress display of a batch run on a terminal: files and
// methods done, failures, elapsed and remaining time, redrawn in place.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace cli {

class ProgressLine {
 public:
  // Shown only when enabled (standard error is a terminal and the run
  // is not quiet); otherwise every call does nothing.
  ProgressLine(bool enabled, size_t files, uint64_t bytes);

  void fileDone(uint64_t bytes);
  void methodDone(bool failed);
  void fileFailed();
  // Prints a message on a line of its own, above the progress line.
  void message(const std::string& text);
  // Redraws when enough time has passed, or always when forced.
  void draw(bool force = false);
  // Leaves the last state on screen and ends the line.
  void finish();

  size_t methods() const { return methods_; }
  size_t failures() const { return failedMethods_ + failedFiles_; }

 private:
  std::string text() const;
  void clear();

  bool enabled_;
  size_t files_;
  uint64_t bytes_;
  size_t filesDone_ = 0;
  uint64_t bytesDone_ = 0;
  size_t methods_ = 0;
  size_t failedMethods_ = 0;
  size_t failedFiles_ = 0;
  bool shown_ = false;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastDrawn_;
};

}  // namespace cli
