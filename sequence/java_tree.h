// Reading the Java syntax tree: a node's children as a list, tokens'
// text, and an expression's text rebuilt from its tokens.  An empty node
// has no children, no tokens and no text.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "frontends/java/syntax/syntax_tree.h"
#include "text/box_text.h"

namespace sequence {

using syntax::Kind;

// The children of a node, in order, for reading by place.
std::vector<syntax::Node> childList(const syntax::Node& node);

// A token's text as the source has it, each line break and tab read as a
// blank; "" for anything else.
std::string tokenText(const syntax::Node& node);

// The text of a node's tokens, joined as a person writes Java: a blank
// between words, after commas and round binary and assignment operators,
// none inside names, calls, generics and around dots.  The bodies of
// anonymous classes and lambdas inside it show as "..." and "{...}".
std::string expressionText(const syntax::Node& node);
// The same for a type, without the annotations in it: "List<String>" for
// "java.util.@Nullable List<@NonNull String>" is "java.util.List<String>".
std::string typeText(const syntax::Node& node);

// A text of a file in one encoding, in another: the syntax tree keeps a
// file's bytes, and a diagram's texts from several files share one.
std::string convertText(std::string text, text::Charset from, text::Charset to);

// Values kept by node, for nodes of several trees: a node's key tells it
// apart only within its own tree.
template <class T>
class NodeMap {
 public:
  const T* find(const syntax::Node& node) const {
    const auto [first, last] = entries_.equal_range(node.key());
    for (auto it = first; it != last; ++it)
      if (it->second.first == node) return &it->second.second;
    return nullptr;
  }
  void set(const syntax::Node& node, T value) {
    const auto [first, last] = entries_.equal_range(node.key());
    for (auto it = first; it != last; ++it)
      if (it->second.first == node) {
        it->second.second = std::move(value);
        return;
      }
    entries_.emplace(node.key(), std::make_pair(node, std::move(value)));
  }

 private:
  std::unordered_multimap<uint32_t, std::pair<syntax::Node, T>> entries_;
};

}  // namespace sequence
