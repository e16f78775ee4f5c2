// The comment lines of a source file, looked up by line range.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "xml/document.h"

namespace flowchart {

class CommentLines {
 public:
  // comments may be null: there are then no comments at all.
  explicit CommentLines(xml::Document* comments) : comments_(comments) {}

  // The "t" texts of the "cmt" elements with a @l strictly between a and b,
  // in document order, empty ones left out, joined by a backslash and n:
  // what "//cmt[@l>a and @l<b ]" selects.  The elements are read once, on
  // the first call; a sorted file is then searched by bisection.
  std::string between(int32_t a, int32_t b);

 private:
  struct Entry {
    double line;
    xml::Node element;
  };
  void index();
  static void appendText(std::string& joined, const xml::Node& element);

  xml::Document* comments_;
  bool indexed_ = false;
  bool sorted_ = true;
  std::vector<Entry> entries_;  // only elements whose @l is a number
};

}  // namespace flowchart
