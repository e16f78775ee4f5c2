// A UML sequence diagram of one method's calls, read from its parse tree:
// the objects it talks to as lifelines in order of first appearance, and
// its calls, creations and returns as messages in the order they run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "flowgraph/box_text.h"
#include "sequence/source_index.h"

namespace sequence {

inline constexpr size_t kNone = std::numeric_limits<size_t>::max();

struct Lifeline {
  std::string label;         // "name:Type", ":Type", or the receiver's text
  size_t createdBy = kNone;  // the creation message that starts it; kNone: there from the start
};

struct Message {
  enum class Kind { Call, SelfCall, Create, Return };
  Kind kind = Kind::Call;
  size_t from = 0;  // lifelines
  size_t to = 0;
  std::string text;  // the call as written, or what receives a returned value
  int32_t line = 0;  // the source line of the call
};

struct Diagram {
  std::vector<Lifeline> lifelines;  // the method's own object first
  std::vector<Message> messages;    // top to bottom
  std::vector<std::string> notes;   // what the reader should know about what is left out
};

struct DiagramOptions {
  // Levels of calls shown: 1 the method's own calls; each further level
  // follows calls into the methods the index has the source of.
  int depth = 1;
  size_t maxMessages = 200;
};

// The diagram of a method, constructor or initialiser of the index, its
// texts in the index's charset.
Diagram buildDiagram(SourceIndex& index, const MethodInfo& method, const DiagramOptions& options);

// "Class.method" for notes: outer classes first, "{init}" for an
// initialiser, an anonymous class as "new Type".
std::string methodDisplayName(const MethodInfo& method);

}  // namespace sequence
