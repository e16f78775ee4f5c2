#include "xml/tree_document.h"

#include <string>
#include <unordered_map>
#include <vector>

#include "files/latin1.h"

namespace xml {
namespace {

class PugiTreeWriter : public TreeDocumentWriter {
 public:
  explicit PugiTreeWriter(pugi::xml_node document) : open_{document} {}

  // An append that finds no memory gives an empty node: the walk ends.
  bool open(std::string_view name) override {
    open_.push_back(open_.back().append_child(nameOf(name)));
    return !open_.back().empty();
  }
  bool close() override {
    open_.pop_back();
    return !open_.empty();
  }
  bool token(std::string_view name, int line, int column, std::string_view raw) override {
    pugi::xml_node element = open_.back().append_child(nameOf(name));
    if (!element.append_attribute("l").set_value(line)) return false;
    if (column >= 0 && !element.append_attribute("c").set_value(column)) return false;
    return element.append_attribute("t").set_value(attributeText(raw).c_str());
  }

 private:
  // Names are the grammar's symbols, few and the same literals again and
  // again.
  const char* nameOf(std::string_view name) {
    auto it = names_.find(name.data());
    if (it == names_.end() || it->second != name) it = names_.insert_or_assign(name.data(), std::string(name)).first;
    return it->second.c_str();
  }

  const std::string& attributeText(std::string_view raw) {
    text_.clear();
    for (size_t i = 0; i < raw.size(); ++i) {
      const char c = raw[i];
      if (c == '\r') {
        text_ += ' ';
        if (i + 1 < raw.size() && raw[i + 1] == '\n') ++i;
      } else if (c == '\n' || c == '\t') {
        text_ += ' ';
      } else {
        text_ += c;
      }
    }
    if (!files::isAscii(text_)) text_ = files::latin1ToUtf8(text_);
    return text_;
  }

  std::vector<pugi::xml_node> open_;
  std::unordered_map<const char*, std::string> names_;
  std::string text_;
};

}  // namespace

std::unique_ptr<Document> buildTreeDocument(const std::function<bool(TreeDocumentWriter&)>& fill) {
  return Document::build([&](pugi::xml_node document) {
    PugiTreeWriter writer(document);
    return fill(writer);
  });
}

}  // namespace xml
