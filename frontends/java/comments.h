// Comment lines as the scanner meets them, and the comments file written
// from them after a successful parse.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace java {

struct CommentLine {
  int line = 0;
  std::string text;  // the comment's bytes on that line, XML-escaped
};

class CommentRecorder {
 public:
  // Texts arrive escaped.  Zero bytes are dropped: XML cannot hold them.
  void start(int line, std::string_view text);
  void append(std::string_view text);

  const std::vector<CommentLine>& lines() const { return lines_; }
  // The whole comments file.
  std::string fileText() const;
  // Writes the comments file atomically; false when it cannot be written.
  bool write(const std::string& path) const;

 private:
  std::vector<CommentLine> lines_;
};

}  // namespace java
