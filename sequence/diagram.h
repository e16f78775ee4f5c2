// A UML sequence diagram of one method's calls, read from its parse tree:
// the objects it talks to as lifelines in order of first appearance, and
// its calls, creations and returns as messages in the order they run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
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

struct DiagramOptions {
  // Levels of calls shown: 1 the method's own calls; each further level
  // follows calls into the methods the index has the source of.
  int depth = 1;
  size_t maxMessages = 200;
  // A call through an interface or abstract class with exactly one
  // implementation among the sources is followed into that one.
  bool followImplementations = false;
  // The messages a diagram holds to stay readable on a few screens: below
  // the method's own calls, a call is followed only while what its method
  // calls fits; else it is drawn as an interaction use ("ref") of the
  // callee.  0: no such bound.
  size_t pageMessages = 60;
};

// The diagram of a method, constructor or initialiser of the index, its
// texts in the index's charset.
Diagram buildDiagram(SourceIndex& index, const MethodInfo& method, const DiagramOptions& options);

// What one page of a drawing may hold and stay within about three
// screens at a readable size; 0: no bound.
struct PageBudget {
  size_t messages = 45;
  size_t lifelines = 9;
  // Whether a page fits, when its drawing is known better than by
  // counts; the counts still bound a run of statements folded away (at
  // most half the messages).
  std::function<bool(const Diagram&)> fits;
};

// One page of a method's diagram: the method's own (its title empty), a
// part of it folded away, or a callee a "ref" frame opens.
struct DiagramPage {
  std::string title;  // "try · L1011", "Class.method"; unique within the pages
  Diagram diagram;
};

// Folds a diagram over its budget: its largest combined fragments, one
// after another, each give their messages and the lifelines only they
// use to a page of their own (folded the same way), and leave a "ref"
// frame in their place naming the page (`page` relative to the first
// page returned, which is the diagram itself).  A diagram within its
// budget comes back alone and unchanged.
std::vector<DiagramPage> foldDiagram(Diagram diagram, const PageBudget& budget, text::Charset charset);

// The method's diagram folded to its budget, then one page for each
// method a "ref" frame calls, its own diagram at the depth left there,
// each method once, folded the same way; each ref frame knows its page.
// At most `maxPages` pages: refs beyond them open nothing.
std::vector<DiagramPage> buildDiagramPages(SourceIndex& index, const MethodInfo& method,
                                           const DiagramOptions& options, const PageBudget& budget,
                                           size_t maxPages = 40);

// "Class.method" for notes, as the other commands name the method: outer
// classes first, a class declared in a method after that method, "static
// {}" or "{}" for an initialiser, an anonymous class as "new Type".
std::string methodDisplayName(const MethodInfo& method);

}  // namespace sequence
