#include "flowgraph/method_model.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace flowgraph {
namespace {

std::string attribute(const xml::Node& element, const char* name) {
  const xml::Node attr = element.attributeNamed(name);
  return attr ? attr.value() : std::string();
}

// A decimal attribute; none when it is empty or not a number.
std::optional<int32_t> number(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (end == text.c_str() || errno == ERANGE || value < INT32_MIN || value > INT32_MAX)
    return std::nullopt;
  return static_cast<int32_t>(value);
}

class Reader {
 public:
  explicit Reader(std::string* error) : error_(error) {}

  std::optional<MethodModel> read(const xml::Node& root) {
    // An explicit stack of containers still to read: models nest as deep
    // as the method's statements.
    struct Pending {
      xml::Node element;
      size_t container;
    };
    std::vector<Pending> pending;
    model_.containers.push_back(Container{containerId(root), std::nullopt, {}});
    pending.push_back({root, 0});
    while (!pending.empty()) {
      const Pending next = pending.back();
      pending.pop_back();
      for (const xml::Node& element : next.element.selectNodes(kBlock)) {
        const std::optional<size_t> index = readBlock(element, next.container);
        if (!index) return std::nullopt;
        const xml::Node nested = element.selectSingleNode(kNested);
        if (!nested) continue;
        const size_t container = model_.containers.size();
        model_.containers.push_back(Container{containerId(nested), *index, {}});
        model_.blocks[*index].nested = container;
        pending.push_back({nested, container});
      }
    }
    return std::move(model_);
  }

 private:
  static inline const xml::ChildPath kBlock{"block"};
  static inline const xml::ChildPath kNested{"blocks"};
  static inline const xml::ChildPath kSuccessor{"controlflow/successor"};
  static inline const xml::ChildPath kHint{"hint"};

  static int32_t containerId(const xml::Node& element) {
    return number(attribute(element, "id")).value_or(0);
  }

  std::optional<size_t> readBlock(const xml::Node& element, size_t container) {
    const std::optional<int32_t> id = number(attribute(element, "id"));
    if (!id) return fail("a block has no id");
    Block block;
    block.id = *id;
    block.type = attribute(element, "type");
    block.startLine = number(attribute(element, "sln"));
    block.endLine = number(attribute(element, "eln"));
    block.text = attribute(element, "text");
    block.container = container;
    for (const xml::Node& successor : element.selectNodes(kSuccessor)) {
      const std::optional<int32_t> target = number(attribute(successor, "id"));
      if (!target) return fail("a successor of block " + std::to_string(*id) + " has no id");
      block.successors.push_back(
          Successor{*target, attribute(successor, "type"), attribute(successor, "text")});
    }
    for (const xml::Node& hint : element.selectNodes(kHint))
      block.hints.push_back(Hint{attribute(hint, "id"), attribute(hint, "value")});
    const size_t index = model_.blocks.size();
    if (!model_.byId.emplace(block.id, index).second)
      return fail("two blocks have the id " + std::to_string(block.id));
    model_.blocks.push_back(std::move(block));
    model_.containers[container].blocks.push_back(index);
    return index;
  }

  std::nullopt_t fail(const std::string& message) {
    if (error_) *error_ = message;
    return std::nullopt;
  }

  MethodModel model_;
  std::string* error_;
};

}  // namespace

const std::string* Block::hint(std::string_view hintId) const {
  for (const Hint& each : hints)
    if (each.id == hintId) return &each.value;
  return nullptr;
}

const Block* MethodModel::find(int32_t id) const {
  const auto found = byId.find(id);
  return found == byId.end() ? nullptr : &blocks[found->second];
}

size_t MethodModel::successorCount() const {
  size_t count = 0;
  for (const Block& block : blocks) count += block.successors.size();
  return count;
}

std::optional<MethodModel> readMethodModel(const xml::Node& blocksElement, std::string* error) {
  return Reader(error).read(blocksElement);
}

}  // namespace flowgraph
