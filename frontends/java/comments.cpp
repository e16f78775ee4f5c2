#include "comments.h"

#include <algorithm>

#include "files/atomic_file.h"

namespace java {
namespace {

void appendWithoutZeros(std::string& out, std::string_view text) {
  if (text.find('\0') == std::string_view::npos) {
    out.append(text);
    return;
  }
  std::copy_if(text.begin(), text.end(), std::back_inserter(out), [](char c) { return c != '\0'; });
}

}  // namespace

void CommentRecorder::start(int line, std::string_view text) {
  lines_.push_back(CommentLine{line, {}});
  appendWithoutZeros(lines_.back().text, text);
}

void CommentRecorder::append(std::string_view text) {
  if (lines_.empty()) lines_.push_back(CommentLine{});
  appendWithoutZeros(lines_.back().text, text);
}

namespace {

// Each record ends with a carriage return written before a text-mode line
// end, hence the three bytes CR CR LF.
constexpr std::string_view kHead = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><preprocessor>\r\n";
constexpr std::string_view kTail = "</preprocessor>\r\n";

void appendRecord(std::string& out, const CommentLine& record) {
  out += "<cmt l=\"";
  out += std::to_string(record.line);
  out += "\" t=\"";
  out += record.text;
  out += "\"/>\r\r\n";
}

}  // namespace

std::string CommentRecorder::fileText() const {
  std::string out(kHead);
  for (const CommentLine& record : lines_) appendRecord(out, record);
  out += kTail;
  return out;
}

bool CommentRecorder::write(const std::string& path) const {
  // Written in chunks: the records are not held a second time as one text.
  constexpr size_t kChunk = 1 << 16;
  files::AtomicFile file(path);
  if (!file.open()) return false;
  std::string out(kHead);
  for (const CommentLine& record : lines_) {
    appendRecord(out, record);
    if (out.size() >= kChunk) {
      file.write(out);
      out.clear();
    }
  }
  out += kTail;
  return file.write(out) && file.commit();
}

}  // namespace java
