// A second opinion on the model builder's tree lookups, for tests.  The
// builder finds lines, last tokens, source texts, comments and the method
// by short walks and indexes; a check set on it is handed each result with
// what was looked up, and throws std::logic_error where it disagrees.
// The one check, which does each lookup again by its XPath query, is
// QueryLookupCheck in tests/support/flowchart_model/.
#pragma once

#include <cstdint>
#include <string>

#include "engine/flowchart_model/source_text.h"
#include "xml/document.h"

namespace flowchart {

class LookupCheck {
 public:
  virtual ~LookupCheck() = default;
  virtual void firstLine(const xml::Node& node, const std::string& found) = 0;
  virtual void lastLine(const xml::Node& node, const std::string& found) = 0;
  virtual void lastLinedElement(const xml::Node& node, bool includeSelf, const xml::Node& found) = 0;
  virtual void sourceText(const xml::Node& node, const SourceLines& lines, const std::string& found) = 0;
  // comments may be null.
  virtual void commentsBetween(xml::Document* comments, int32_t a, int32_t b, const std::string& found) = 0;
  // name is "#Block#" for an initialiser.
  virtual void methodNode(xml::Document& tree, const std::string& name, int32_t line, const xml::Node& found) = 0;
  virtual void lastSourceLine(xml::Document& tree, const std::string& found) = 0;
};

}  // namespace flowchart
