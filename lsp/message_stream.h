// JSON-RPC messages framed as the Language Server Protocol frames them:
// a header of "Name: value" lines ending in an empty line, whose
// Content-Length says how many bytes of content follow.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace lsp {

// One message read from a stream: its content, or why the header was
// refused (the content then skipped where its length was known).
struct Frame {
  std::string content;
  std::string headerProblem;  // empty for a good header
};

// Reads frames from a C stream (standard input); nullopt at its end.
class MessageReader {
 public:
  explicit MessageReader(std::FILE* in) : in_(in) {}
  std::optional<Frame> next();

 private:
  std::FILE* in_;
};

// The frame of a message's content, as it is written.
std::string framed(std::string_view content);

}  // namespace lsp
