// A parse tree's document built in memory, element by element, without
// its text: the document its tree text would load as.  Tokens become
// elements with l, c and t; t holds the matched text with line breaks and
// tabs read as blanks and every byte as an ISO-8859-1 character, as the
// document service reads attribute values of a tree file.
#pragma once

#include <functional>
#include <memory>
#include <string_view>

#include "xml/document.h"

namespace xml {

// Receives the tree in document order.  Each call answers false when
// memory ran out; the builder then gives no document.  Names must outlive
// the building (they are the grammar's symbols).
class TreeDocumentWriter {
 public:
  virtual ~TreeDocumentWriter() = default;
  virtual bool open(std::string_view name) = 0;
  virtual bool close() = 0;
  // column < 0: the token has no c attribute.
  virtual bool token(std::string_view name, int line, int column, std::string_view raw) = 0;
};

// The document fill writes; nullptr when fill returns false, the tree is
// not one element, or memory runs out.
std::unique_ptr<Document> buildTreeDocument(const std::function<bool(TreeDocumentWriter&)>& fill);

}  // namespace xml
