// Reads what `git cat-file --batch` answers as it comes, in pieces of any
// size: for each object asked, in order, "<id> <type> <size>\n<bytes>\n",
// or one line saying why there is none ("<name> missing").
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace git {

class CatFileReader {
 public:
  // One object's answer: its bytes when it is a blob, else why not (the
  // line git gave, or what the object is).
  struct Object {
    size_t index = 0;  // which object asked, from 0
    std::optional<std::string> bytes;
    std::string why;
  };

  explicit CatFileReader(std::function<void(Object object)> onObject) : onObject_(std::move(onObject)) {}

  void feed(std::string_view piece);
  // How many objects were answered whole.
  size_t answered() const { return index_; }

 private:
  void startObject();
  void finishObject();

  std::function<void(Object)> onObject_;
  size_t index_ = 0;
  std::string line_;      // the header line read so far
  size_t remaining_ = 0;  // bytes of the object still to come, with the line break after them
  bool keep_ = false;     // a blob: its bytes are kept
  std::string bytes_;
  std::string why_;
};

}  // namespace git
