// The blocks model of one method: creating its elements, reading and
// writing their attributes, linking, finding and placing blocks.
//
// Every element of the model is made and changed through this class, so it
// can keep two indexes: blocks by id and containers by id.  A lookup uses
// them only to pick its candidates; it still checks that a candidate stands
// where the query would find it, and falls back to the query itself when
// more than one does, so an index never changes what a lookup returns.
//
// Whether a candidate stands below the root container is known from a flag
// kept on every append and removal, not by walking up from it: a block or
// container is attached when it is appended to the root or to an attached
// one.  The flags are trusted only while no removed block or container is
// waiting to be appended again and every append went to a parent whose
// state is known; otherwise the lookup walks up to the root.
// With cross-checking on, every lookup is also run as its query and a
// disagreement throws std::logic_error.
#pragma once

#include <cstdint>
#include <deque>
#include <initializer_list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "flowchart/xml/document.h"

namespace flowchart {

class BlocksModel {
 public:
  explicit BlocksModel(xml::Document& document) : document_(document) {}
  BlocksModel(const BlocksModel&) = delete;
  BlocksModel& operator=(const BlocksModel&) = delete;

  void setCrossCheck(bool on) { crossCheck_ = on; }
  xml::Document& document() { return document_; }

  // The "blocks" element under the method's "func"; lookups search below it.
  void setRootContainer(const xml::Node& root) { root_ = root; }
  const xml::Node& rootContainer() const { return root_; }

  // Element creation; nothing is attached anywhere.
  xml::Node createBlocksContainer(int32_t id);
  xml::Node createBlock();       // id, type, sln, eln, text empty; a "controlflow" child
  xml::Node createHint();        // id, value empty
  xml::Node createSuccessor();   // id, type, text empty

  // Edges.  Only the plain form refuses a second edge to the same target.
  void addSuccessor(const xml::Node& block, int32_t target);
  void addTypedSuccessor(const xml::Node& block, int32_t target, std::string_view type);
  void addLabelledSuccessor(const xml::Node& block, int32_t target, std::string_view type,
                            std::string_view text);
  // A hint with the given id and value appended to the element.
  void appendHint(xml::Node element, std::string_view id, std::string_view value);

  // Attributes.  A missing attribute is an xml::Error.
  int32_t getBlockId(const xml::Node& node) const;
  int32_t getStartLine(const xml::Node& node) const;  // "@sln", else "@sl"
  int32_t getEndLine(const xml::Node& node) const;    // "@eln", else "@el"
  std::string getTypeAttr(const xml::Node& node) const;
  std::string getNameAttr(const xml::Node& node) const;
  void setBlockId(const xml::Node& node, int32_t id);
  void setTypeAttr(const xml::Node& node, std::string_view type);
  void setValueAttr(const xml::Node& node, std::string_view value);
  void setTextAttr(const xml::Node& node, std::string_view text);
  void setStartLine(const xml::Node& node, int32_t line);
  void setEndLine(const xml::Node& node, int32_t line);

  // "descendant::block[@id=id]" below node, first match, or empty.
  xml::Node findBlock(const xml::Node& node, int32_t id);
  // Removes the container's child block with the block's id, if any, then
  // appends the block.
  void placeBlock(xml::Node container, const xml::Node& block);

  // The stack of open containers; the current one is named by its top.
  void pushContainer(int32_t id) { containerStack_.push_back(id); }
  void popContainer();
  // "descendant-or-self::blocks[@id=top]" below the root container.
  xml::Node currentContainer();

  // Plain DOM edits (no id test).
  void append(xml::Node parent, const xml::Node& child);
  void remove(xml::Node parent, const xml::Node& child);

 private:
  struct Entry {
    xml::Node node;
    bool attached = false;  // below the root container (see flagsHold)
  };
  // Entries live in a deque, so the indexes can point at them.
  using Index = std::unordered_map<int32_t, std::vector<Entry*>>;

  Entry& addEntry(const xml::Node& node);
  Entry* entryFor(const xml::Node& node);
  bool isOwnContainer(const xml::Node& node);
  bool isBelow(const xml::Node& node, const xml::Node& ancestor, bool orSelf) const;
  bool flagsHold() const { return !flagsLost_ && floating_.empty(); }
  bool belowRoot(const Entry& entry, bool orSelf) const;
  xml::Node findBlockByQuery(const xml::Node& node, int32_t id) const;
  xml::Node childBlockByQuery(const xml::Node& container, int32_t id) const;
  xml::Node containerByQuery(int32_t id) const;
  void check(const xml::Node& indexed, const xml::Node& queried, const char* what) const;
  static void setAttribute(const xml::Node& node, const char* name, std::string_view value);
  // A successor with empty attributes, last in the block's controlflow.
  xml::Node appendSuccessor(const xml::Node& block);
  xml::Node createWithAttributes(std::string_view name, std::initializer_list<const char*> attributes);

  xml::Document& document_;
  xml::Node root_;
  std::vector<int32_t> containerStack_;
  xml::Node blockPrototype_, successorPrototype_, hintPrototype_;
  std::deque<Entry> entries_;
  std::unordered_map<const void*, Entry*> entryOfNode_;  // by the element's storage
  Index blocks_;
  Index containers_;
  std::vector<xml::Node> floating_;  // removed blocks and containers not appended again
  bool flagsLost_ = false;           // an append the flags cannot follow happened
  bool crossCheck_ = false;
};

}  // namespace flowchart
