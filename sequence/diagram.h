// A UML sequence diagram of one method's calls: the objects it talks to as
// lifelines in order of first appearance, its calls, creations and
// returns as messages in the order they run, and the fragments round
// them.  Read from the syntax tree by calls.h, cut onto pages by pages.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "text/box_text.h"
#include "sequence/source_index.h"

namespace sequence {

inline constexpr size_t kNone = std::numeric_limits<size_t>::max();

struct Lifeline {
  std::string label;         // "name:Type", ":Type", or the receiver's text
  size_t createdBy = kNone;  // the creation message that starts it; kNone: there from the start
};

struct Message {
  // Throw: an exception made and thrown at once, "throw new E(...)" or
  // "throw Errors.make(...)", on the lifeline that throws it; the
  // exception (or its maker) gets no lifeline and is not followed.
  // Ref: no message but the place of a part of the method drawn on a
  // page of its own, spanning the lifelines from `from` to `to`; it
  // stands alone in a "ref" fragment that names the part.
  enum class Kind { Call, SelfCall, Create, Return, Throw, Ref };
  Kind kind = Kind::Call;
  size_t from = 0;  // lifelines
  size_t to = 0;
  std::string text;  // the call as written, or what receives a returned value
  int32_t line = 0;  // the source line of the call
};

// The time an object is busy with a call: from the message that starts it
// to the last message sent or answered while it lasts.
struct Activation {
  size_t lifeline = 0;
  size_t firstMessage = kNone;  // the call or creation that starts it; kNone: the method's own
  size_t lastMessage = 0;
  int level = 0;  // activations of the same object it runs inside (a self call's is 1 deeper)
};

// One operand of a combined fragment: its guard and its first message;
// it lasts up to the next operand's first message or the fragment's end.
struct Operand {
  std::string guard;  // without brackets: "total > 100", "else", "catch IOException"
  size_t firstMessage = 0;
};

// A combined fragment round the messages of an if, a loop, a synchronized
// block or a try: "alt", "opt", "loop", "break" or "critical"; or an
// interaction use, "ref", round a call whose own calls are left to the
// callee's diagram (its one operand's guard the callee's name).
struct Fragment {
  std::string op;
  std::vector<Operand> operands;  // at least one, each holding a message
  size_t lastMessage = 0;
  size_t owner = 0;  // the lifeline whose method has the statement
  int depth = 0;     // fragments round it
  const MethodInfo* reference = nullptr;  // "ref": the method called, for a link to its own diagram
  int referenceDepth = 0;                 // the levels of calls left below that call
  size_t page = kNone;                    // "ref": the page of the diagram it opens
  // Where the statement stands, to name a page it is folded onto:
  // "try", "for", "while", "if"..., its first line and the method.
  std::string construct;
  int32_t line = 0;
  const MethodInfo* method = nullptr;
  size_t firstMessage() const { return operands.front().firstMessage; }
  // The header names the first operand's guard only, "alt [total > 100]":
  // each further operand's guard stands at its own divider; "ref
  // Class.method" for an interaction use.
  std::string text() const;
};

struct Diagram {
  std::vector<Lifeline> lifelines;  // the method's own object first
  std::vector<Message> messages;    // top to bottom
  std::vector<Activation> activations;  // the method's own first, then in order of their start
  std::vector<Fragment> fragments;      // in order of their first message, outer before inner
  std::vector<std::string> notes;       // what the reader should know about what is left out
};

// One page of a method's diagram: the method's own (its title empty), a
// part of it folded away, or a callee a "ref" frame opens.
struct DiagramPage {
  std::string title;  // "try · L1011", "Class.method"; unique within the pages
  Diagram diagram;
};

// "Class.method" for notes, as the other commands name the method: outer
// classes first, a class declared in a method after that method, "static
// {}" or "{}" for an initialiser, an anonymous class as "new Type".
std::string methodDisplayName(const MethodInfo& method);

}  // namespace sequence
