// The flowchart model of one method as typed values: the blocks, their
// containers and successors, read once from the "blocks" element that the
// model builder stores under the method's "func" in the results file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "flowchart/xml/document.h"

namespace flowgraph {

struct Successor {
  int32_t target = 0;
  std::string type;  // "", "true|blocks", "loop", "CASE", ...
  std::string text;  // "true", "false" or empty
};

struct Hint {
  std::string id;
  std::string value;
};

struct Block {
  int32_t id = 0;
  std::string type;  // "start", "end", "" (process box), "if", "block" (folded) ...
  std::optional<int32_t> startLine;  // sln; absent when the model left it empty
  std::optional<int32_t> endLine;    // eln
  std::string text;                  // lines joined by the two characters \n
  std::vector<Successor> successors;
  std::vector<Hint> hints;
  size_t container = 0;              // the container that holds the block
  std::optional<size_t> nested;      // the container the block holds, if any

  const std::string* hint(std::string_view hintId) const;
};

struct Container {
  int32_t id = 0;
  std::optional<size_t> owner;  // the block holding it; none for the root
  std::vector<size_t> blocks;   // in flow order
};

struct MethodModel {
  std::vector<Block> blocks;          // container by container
  std::vector<Container> containers;  // [0] is the root container
  std::unordered_map<int32_t, size_t> byId;

  const Block* find(int32_t id) const;
  size_t successorCount() const;
};

// Reads the model below a "blocks" element.  nullopt with a message when
// the element is not a well-formed model (a block without an id, two
// blocks with one id).
std::optional<MethodModel> readMethodModel(const xml::Node& blocksElement, std::string* error);

}  // namespace flowgraph
