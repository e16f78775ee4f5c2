#include "git/cat_file_reader.h"

#include <algorithm>
#include <charconv>

namespace git {

void CatFileReader::feed(std::string_view piece) {
  while (!piece.empty()) {
    if (remaining_ > 0) {
      const size_t take = std::min(piece.size(), remaining_);
      // The last byte to come is the line break after the object's bytes.
      if (keep_) bytes_.append(piece.substr(0, std::min(take, remaining_ - 1)));
      piece.remove_prefix(take);
      remaining_ -= take;
      if (remaining_ == 0) finishObject();
      continue;
    }
    const size_t end = piece.find('\n');
    if (end == std::string_view::npos) {
      line_.append(piece);
      return;
    }
    line_.append(piece.substr(0, end));
    piece.remove_prefix(end + 1);
    startObject();
  }
}

void CatFileReader::startObject() {
  // "<id> <type> <size>": the only answer with three fields ending in a
  // number; anything else says why there is no object.
  const size_t first = line_.find(' ');
  const size_t second = first == std::string::npos ? first : line_.find(' ', first + 1);
  size_t size = 0;
  const bool found =
      second != std::string::npos && line_.find(' ', second + 1) == std::string::npos &&
      line_.find_first_not_of("0123456789abcdef") == first && second + 1 < line_.size() &&
      std::from_chars(line_.data() + second + 1, line_.data() + line_.size(), size).ptr == line_.data() + line_.size();
  if (!found || size == SIZE_MAX) {
    onObject_({index_++, std::nullopt, std::move(line_)});
    line_.clear();
    return;
  }
  const std::string type = line_.substr(first + 1, second - first - 1);
  keep_ = type == "blob";
  bytes_.clear();
  if (keep_) bytes_.reserve(size);
  why_ = keep_ ? std::string() : "a " + type + ", not a file";
  remaining_ = size + 1;
  line_.clear();
}

void CatFileReader::finishObject() {
  if (keep_) onObject_({index_++, std::move(bytes_), {}});
  else onObject_({index_++, std::nullopt, std::move(why_)});
  bytes_ = std::string();
  keep_ = false;
}

}  // namespace git
