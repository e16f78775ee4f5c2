// Sequence diagrams of the shipped Java files with known call structures,
// each checked whole: its lifelines in order, every message with its
// kind, ends and text, and its notes.
#include "sequence/calls.h"
#include "sequence/pages.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "frontends/java/language_level.h"
#include "frontends/java/source_parse.h"
#include "sequence/java_tree.h"
#include "tests/support/test_support.h"

namespace sequence {
namespace {

using testing_support::fixture;

// A Java text's syntax tree, as the command parses it at the newest level.
syntax::Tree parsed(std::string_view text) {
  java::ParseOptions options;
  options.languageLevel = java::kNewestLanguageLevel;
  const java::SourceParse parse = java::SourceParse::ofText(text, options);
  EXPECT_TRUE(parse.status().parsed());
  return parse.status().parsed() ? syntax::Tree::fromParse(parse) : syntax::Tree();
}

// The fixture files, parsed; the index finds a class's file by its name
// when asked, as a source tree would.
class Sources {
 public:
  explicit Sources(bool tree = false)
      : index_(text::Charset::Utf8, [this, tree](const std::string& name) {
          std::vector<const JavaSource*> found;
          if (tree && std::filesystem::exists(fixture("sequence/" + name + ".java")))
            found.push_back(&parse(name));
          return found;
        }) {}

  const JavaSource& parse(const std::string& stem) {
    trees_.push_back(std::make_unique<syntax::Tree>(
        parsed(testing_support::readFile(fixture("sequence/" + stem + ".java")))));
    sources_.push_back(std::make_unique<JavaSource>(JavaSource{trees_.back().get(), text::Charset::Utf8}));
    return *sources_.back();
  }

  // A method of a fixture file, added to the index.
  const MethodInfo* method(const std::string& stem, const std::string& name, int32_t line) {
    const JavaSource& source = parse(stem);
    index_.add(source);
    return index_.methodAt(source, name, line);
  }
  SourceIndex& index() { return index_; }

  // The listing of a method's diagram.
  std::string diagram(const std::string& stem, const std::string& method, int32_t line, int depth = 1,
                      size_t maxMessages = 200) {
    const MethodInfo* info = this->method(stem, method, line);
    if (!info) return "no method " + method;
    return listing(buildDiagram(index_, *info, {depth, maxMessages}));
  }

  static std::string listing(const Diagram& d) {
    std::string out = "lifelines:";
    for (const Lifeline& lifeline : d.lifelines)
      out += " " + lifeline.label + (lifeline.createdBy == kNone ? "" : "*");
    out += "\n";
    static const std::map<Message::Kind, const char*> kKinds = {{Message::Kind::Call, "call"},
                                                                {Message::Kind::SelfCall, "self"},
                                                                {Message::Kind::Create, "new"},
                                                                {Message::Kind::Return, "return"},
                                                                {Message::Kind::Throw, "throw"},
                                                                {Message::Kind::Ref, "ref"}};
    for (const Message& m : d.messages)
      out += std::string(kKinds.at(m.kind)) + " " + d.lifelines[m.from].label + " > " +
             d.lifelines[m.to].label + ": " + m.text + "\n";
    for (const std::string& note : d.notes) out += "note: " + note + "\n";
    return out;
  }

 private:
  std::vector<std::unique_ptr<syntax::Tree>> trees_;
  std::vector<std::unique_ptr<JavaSource>> sources_;
  SourceIndex index_;
};

// Self calls, creations named by their variables, parameters, fields,
// static calls, and returns labelled by what receives them.
TEST(SequenceDiagram, ReceiversOfEveryKind) {
  Sources sources;
  EXPECT_EQ(sources.diagram("Shop", "checkout", 15),
            "lifelines: :Shop order:Order* inventory:Inventory customer:Customer :Pricing receipt:Receipt* "
            "ledger:Ledger\n"
            "self :Shop > :Shop: validate(item, count)\n"
            "new :Shop > order:Order: new Order(customer, item)\n"
            "call :Shop > inventory:Inventory: priceOf(item)\n"
            "return inventory:Inventory > :Shop: price\n"
            "call :Shop > customer:Customer: level()\n"
            "return customer:Customer > :Shop: level()\n"
            "call :Shop > :Pricing: discount(price * count, customer.level())\n"
            "return :Pricing > :Shop: discount(price * count, customer.level())\n"
            "call :Shop > order:Order: setTotal(Pricing.discount(price * count, customer.level()))\n"
            "self :Shop > :Shop: record(order)\n"
            "new :Shop > receipt:Receipt: new Receipt(order)\n"
            "call :Shop > receipt:Receipt: total()\n"
            "return receipt:Receipt > :Shop: total()\n"
            "call :Shop > ledger:Ledger: book(receipt.total())\n");
  // A constructor: super(...) runs on the object itself; a field is
  // named by the field it is assigned to.
  EXPECT_EQ(sources.diagram("Shop", "Shop", 9),
            "lifelines: :Shop ledger:Ledger*\n"
            "self :Shop > :Shop: super()\n"
            "new :Shop > ledger:Ledger: new Ledger(\"main\")\n");
}

// Depth 2 follows a call into Inventory, found in the source tree, and a
// self call: their calls hang under the receiving object.  Inventory's
// static call of Shop goes to the object the diagram starts from.
TEST(SequenceDiagram, FollowsCallsOneLevelDeep) {
  Sources sources(/*tree=*/true);
  EXPECT_EQ(sources.diagram("Shop", "restock", 46, 2),
            "lifelines: :Shop inventory:Inventory item:Item :Log\n"
            "call :Shop > inventory:Inventory: priceOf(name)\n"
            "self inventory:Inventory > inventory:Inventory: lookup(name)\n"
            "call inventory:Inventory > :Shop: audit(name)\n"
            "call inventory:Inventory > item:Item: price()\n"
            "return item:Item > inventory:Inventory: price()\n"
            "return inventory:Inventory > :Shop: price\n"
            "self :Shop > :Shop: validate(name, count)\n"
            "throw :Shop > :Shop: throw new IllegalArgumentException(\"count\")\n"
            "call :Shop > :Log: info(\"valid \" + item)\n");
  // Without the tree only the self call is followed.
  Sources alone;
  EXPECT_EQ(alone.diagram("Shop", "restock", 46, 2),
            "lifelines: :Shop inventory:Inventory :Log\n"
            "call :Shop > inventory:Inventory: priceOf(name)\n"
            "return inventory:Inventory > :Shop: price\n"
            "self :Shop > :Shop: validate(name, count)\n"
            "throw :Shop > :Shop: throw new IllegalArgumentException(\"count\")\n"
            "call :Shop > :Log: info(\"valid \" + item)\n");
}

// A var takes the type its initialiser gives where the sources declare
// it (a creation, a method of the sources), else it is named alone; a
// try whose catches make no calls has no fragment; an exception made to
// be thrown, by "new" or by a call, is a throw message, not an object, and
// its constructor or maker is not followed.
TEST(SequenceDiagram, VarTypesTriesAndThrows) {
  Sources sources;
  const std::string listing = sources.diagram("Backup", "copy", 11);
  EXPECT_EQ(listing,
            "lifelines: :Backup file:File* stock:Inventory parent inventory:Inventory target:File\n"
            "self :Backup > :Backup: open(name)\n"
            "new :Backup > file:File: new File(target, name)\n"
            "call :Backup > file:File: getParentFile()\n"
            "return file:File > :Backup: parent\n"
            "call :Backup > stock:Inventory: lookup(name)\n"
            "call :Backup > file:File: delete()\n"
            "call :Backup > parent: mkdirs()\n"
            "call :Backup > inventory:Inventory: priceOf(name)\n"
            "call :Backup > stock:Inventory: priceOf(name)\n"
            "self :Backup > :Backup: log(e)\n"
            "call :Backup > parent: exists()\n"
            "return parent > :Backup: exists()\n"
            "call :Backup > parent: getPath()\n"
            "return parent > :Backup: getPath()\n"
            "throw :Backup > :Backup: throw new IllegalStateException(\"cannot make \" + parent.getPath())\n"
            "call :Backup > target:File: isHidden()\n"
            "return target:File > :Backup: isHidden()\n"
            "call :Backup > target:File: getName()\n"
            "return target:File > :Backup: getName()\n"
            "throw :Backup > :Backup: throw Failures.hidden(target.getName())\n");
}

// A try with a calling catch is an alt of the try and the catch; one whose
// catch makes no calls has none; an alt's header names its first guard.
TEST(SequenceDiagram, FragmentsOfTriesAndIfs) {
  Sources sources;
  const MethodInfo* copy = sources.method("Backup", "copy", 11);
  ASSERT_TRUE(copy);
  const Diagram diagram = buildDiagram(sources.index(), *copy, {});
  std::string fragments;
  for (const Fragment& fragment : diagram.fragments) {
    fragments += fragment.text() + ":";
    for (const Operand& operand : fragment.operands)
      fragments += " " + operand.guard + "@" + diagram.messages[operand.firstMessage].text;
    fragments += "\n";
  }
  EXPECT_EQ(fragments,
            "alt [try]: try@priceOf(name) catch RuntimeException@log(e)\n"
            "break [!parent.exists()]: !parent.exists()@getPath()\n"
            "break [target.isHidden()]: target.isHidden()@getName()\n");
}

// Below the method's own calls, a callee is followed only while its calls
// fit on the page; else its call is framed as an interaction use of it.
TEST(SequenceDiagram, CallsPastThePageAreInteractionUses) {
  const auto framed = [](size_t pageMessages) {
    Sources sources(/*tree=*/true);
    const JavaSource& source = sources.parse("Shop");
    SourceIndex index(text::Charset::Utf8, [&](const std::string& name) {
      return name == "Inventory" ? std::vector<const JavaSource*>{&sources.parse("Inventory")}
                                 : std::vector<const JavaSource*>{};
    });
    index.add(source);
    const MethodInfo* restock = index.methodAt(source, "restock", 46);
    DiagramOptions options;
    options.depth = 2;
    options.pageMessages = pageMessages;
    const Diagram diagram = buildDiagram(index, *restock, options);
    std::string out = std::to_string(diagram.messages.size()) + " messages;";
    for (const Fragment& fragment : diagram.fragments)
      out += " " + fragment.text() + " at " + diagram.messages[fragment.firstMessage()].text + " to " +
             diagram.messages[fragment.lastMessage].text + " on " +
             diagram.lifelines[fragment.owner].label + (fragment.reference ? " linked" : "");
    return out;
  };
  const std::string whole = "9 messages; break [count <= 0] at throw new IllegalArgumentException(\"count\") to "
                            "throw new IllegalArgumentException(\"count\") on :Shop";
  EXPECT_EQ(framed(0), whole);
  EXPECT_EQ(framed(9), whole);
  // After priceOf and its 3 calls, validate's 2 calls pass a page of 8.
  EXPECT_EQ(framed(8), "7 messages; ref Shop.validate at validate(name, count) to validate(name, count) on :Shop linked");
  // On a page of 4 neither callee's calls fit; a frame holds its call's answer too.
  EXPECT_EQ(framed(4), "3 messages; ref Inventory.priceOf at priceOf(name) to price on inventory:Inventory linked "
                       "ref Shop.validate at validate(name, count) to validate(name, count) on :Shop linked");
}

// A diagram over its budget gives its largest fragment a page of its
// own, with only the lifelines that uses; the callee its ref frame names
// gets a page at the depth left; each ref frame knows its page.
TEST(SequenceDiagram, LargeDiagramsFoldOntoPages) {
  Sources sources;
  const MethodInfo* run = sources.method("Folds", "run", 5);
  ASSERT_NE(run, nullptr);
  DiagramOptions options;
  options.depth = 2;
  options.pageMessages = 8;  // check's calls do not fit beside run's
  const auto listed = [](const std::vector<DiagramPage>& pages) {
    std::string out;
    for (const DiagramPage& page : pages) {
      out += "page " + (page.title.empty() ? std::string("(method)") : page.title) + "\n" + Sources::listing(page.diagram);
      for (const Fragment& fragment : page.diagram.fragments)
        out += "fragment " + fragment.text() + " from " + std::to_string(fragment.firstMessage()) + " to " +
               std::to_string(fragment.lastMessage) + " depth " + std::to_string(fragment.depth) +
               (fragment.page == kNone ? "" : " opens page " + std::to_string(fragment.page)) + "\n";
    }
    return out;
  };
  const std::string unfolded = listed(buildDiagramPages(sources.index(), *run, options, {0, 0, nullptr}));
  EXPECT_EQ(listed(buildDiagramPages(sources.index(), *run, options, {8, 3, nullptr})), unfolded);
  EXPECT_EQ(unfolded,
            "page (method)\n"
            "lifelines: :Folds store:Store audit:Audit\n"
            "call :Folds > store:Store: open()\n"
            "call :Folds > store:Store: read(i)\n"
            "call :Folds > store:Store: write(i)\n"
            "call :Folds > store:Store: flush()\n"
            "call :Folds > audit:Audit: note(n)\n"
            "self :Folds > :Folds: check(n)\n"
            "call :Folds > store:Store: close()\n"
            "call :Folds > audit:Audit: done()\n"
            "fragment loop [i < n] from 1 to 3 depth 0\n"
            "fragment opt [n > 2] from 4 to 5 depth 0\n"
            "fragment ref Folds.check from 5 to 5 depth 1 opens page 1\n"
            "page Folds.check\n"
            "lifelines: :Folds audit:Audit\n"
            "call :Folds > audit:Audit: count(n)\n"
            "call :Folds > audit:Audit: log()\n");
  // Six messages a page: the loop goes, the if stays.
  EXPECT_EQ(listed(buildDiagramPages(sources.index(), *run, options, {6, 0, nullptr})),
            "page (method)\n"
            "lifelines: :Folds store:Store audit:Audit\n"
            "call :Folds > store:Store: open()\n"
            "ref :Folds > store:Store: for \xC2\xB7 L7\n"
            "call :Folds > audit:Audit: note(n)\n"
            "self :Folds > :Folds: check(n)\n"
            "call :Folds > store:Store: close()\n"
            "call :Folds > audit:Audit: done()\n"
            "fragment ref for \xC2\xB7 L7 from 1 to 1 depth 0 opens page 1\n"
            "fragment opt [n > 2] from 2 to 3 depth 0\n"
            "fragment ref Folds.check from 3 to 3 depth 1 opens page 2\n"
            "page for \xC2\xB7 L7\n"
            "lifelines: :Folds store:Store\n"
            "call :Folds > store:Store: read(i)\n"
            "call :Folds > store:Store: write(i)\n"
            "call :Folds > store:Store: flush()\n"
            "fragment loop [i < n] from 0 to 2 depth 0\n"
            "page Folds.check\n"
            "lifelines: :Folds audit:Audit\n"
            "call :Folds > audit:Audit: count(n)\n"
            "call :Folds > audit:Audit: log()\n");
  // Two lifelines a page: the if goes too, then the last run of calls
  // that uses audit; the first call alone is too short to fold.
  EXPECT_EQ(listed(buildDiagramPages(sources.index(), *run, options, {0, 2, nullptr})),
            "page (method)\n"
            "lifelines: :Folds store:Store\n"
            "call :Folds > store:Store: open()\n"
            "ref :Folds > store:Store: for \xC2\xB7 L7\n"
            "ref :Folds > :Folds: if \xC2\xB7 L12\n"
            "ref :Folds > store:Store: lines \xC2\xB7 L16-L17\n"
            "fragment ref for \xC2\xB7 L7 from 1 to 1 depth 0 opens page 1\n"
            "fragment ref if \xC2\xB7 L12 from 2 to 2 depth 0 opens page 2\n"
            "fragment ref lines \xC2\xB7 L16-L17 from 3 to 3 depth 0 opens page 3\n"
            "page for \xC2\xB7 L7\n"
            "lifelines: :Folds store:Store\n"
            "call :Folds > store:Store: read(i)\n"
            "call :Folds > store:Store: write(i)\n"
            "call :Folds > store:Store: flush()\n"
            "fragment loop [i < n] from 0 to 2 depth 0\n"
            "page if \xC2\xB7 L12\n"
            "lifelines: :Folds audit:Audit\n"
            "call :Folds > audit:Audit: note(n)\n"
            "self :Folds > :Folds: check(n)\n"
            "fragment opt [n > 2] from 0 to 1 depth 0\n"
            "fragment ref Folds.check from 1 to 1 depth 1 opens page 4\n"
            "page lines \xC2\xB7 L16-L17\n"
            "lifelines: :Folds store:Store audit:Audit\n"
            "call :Folds > store:Store: close()\n"
            "call :Folds > audit:Audit: done()\n"
            "page Folds.check\n"
            "lifelines: :Folds audit:Audit\n"
            "call :Folds > audit:Audit: count(n)\n"
            "call :Folds > audit:Audit: log()\n");
}

// a.b().c(): c goes to the type b returns when the sources declare b;
// else the chain goes on on one lifeline named by its start as written,
// and only its last value comes back.
TEST(SequenceDiagram, ChainedCalls) {
  Sources alone;
  EXPECT_EQ(alone.diagram("Shop", "describe", 26),
            "lifelines: :Shop inventory:Inventory inventory.lookup(item)\n"
            "call :Shop > inventory:Inventory: lookup(item)\n"
            "return inventory:Inventory > :Shop: lookup(item)\n"
            "call :Shop > inventory.lookup(item): label()\n"
            "call :Shop > inventory.lookup(item): trim()\n"
            "return inventory.lookup(item) > :Shop: trim()\n");
  Sources tree(/*tree=*/true);
  EXPECT_EQ(tree.diagram("Shop", "describe", 26),
            "lifelines: :Shop inventory:Inventory :Item :String\n"
            "call :Shop > inventory:Inventory: lookup(item)\n"
            "return inventory:Inventory > :Shop: lookup(item)\n"
            "call :Shop > :Item: label()\n"
            "return :Item > :Shop: label()\n"
            "call :Shop > :String: trim()\n"
            "return :String > :Shop: trim()\n");
}

// Recursion is shown once; lambdas' and anonymous classes' calls are the
// enclosing method's; a method without calls and a capped diagram say so.
TEST(SequenceDiagram, NotesSayWhatIsLeftOut) {
  Sources sources;
  EXPECT_EQ(sources.diagram("Maths", "factorial", 2, 3),
            "lifelines: :Maths\n"
            "self :Maths > :Maths: factorial(n - 1)\n"
            "note: Recursion: factorial(n - 1) calls Maths.factorial again; the call is shown once and not "
            "followed.\n");
  EXPECT_EQ(
      sources.diagram("Maths", "isEven", 9, 5),
      "lifelines: :Maths\n"
      "self :Maths > :Maths: isOdd(n - 1)\n"
      "self :Maths > :Maths: isEven(n - 1)\n"
      "note: Recursion: isEven(n - 1) calls Maths.isEven again; the call is shown once and not followed.\n");
  EXPECT_EQ(sources.diagram("Events", "subscribe", 11),
            "lifelines: :Events :Listener* event:Event bus:Bus :Runnable* handlers:List<Runnable>\n"
            "new :Events > :Listener: new Listener()\n"
            "self :Events > :Events: handle(event)\n"
            "call :Events > event:Event: acknowledge()\n"
            "call :Events > bus:Bus: register(topic, new Listener(){...})\n"
            "new :Events > :Runnable: new Runnable()\n"
            "call :Events > bus:Bus: publish(topic)\n"
            "call :Events > handlers:List<Runnable>: add(new Runnable(){...})\n"
            "note: Calls inside lambdas and anonymous classes of Events.subscribe are shown as calls from "
            "Events.subscribe.\n");
  EXPECT_EQ(sources.diagram("Events", "twice", 25),
            "lifelines: :Events\nnote: Events.twice makes no calls.\n");
  EXPECT_EQ(sources.diagram("Shop", "checkout", 15, 1, 3),
            "lifelines: :Shop order:Order* inventory:Inventory\n"
            "self :Shop > :Shop: validate(item, count)\n"
            "new :Shop > order:Order: new Order(customer, item)\n"
            "call :Shop > inventory:Inventory: priceOf(item)\n"
            "note: The diagram stops at 3 messages (--max-messages): 7 more calls are left out.\n");
}

// Receivers the rules do not name otherwise are named as written; a cast
// names its value with the type; a catch clause without a name declares
// nothing.
TEST(SequenceDiagram, UnusualReceivers) {
  Sources sources;
  EXPECT_EQ(sources.diagram("Odd", "f", 6),
            "lifelines: :Odd items[0] o:Item \"text\" :Odd* lists[1] lists[1].get(0) :java.util.Arrays "
            "items:Item[]\n"
            "self :Odd > :Odd: g()\n"
            "self :Odd > :Odd: h()\n"
            "call :Odd > items[0]: price()\n"
            "call :Odd > o:Item: price()\n"
            "call :Odd > \"text\": length()\n"
            "new :Odd > :Odd: new Odd()\n"
            "call :Odd > :Odd: f(null, lists)\n"
            "call :Odd > lists[1]: get(0)\n"
            "return lists[1] > :Odd: get(0)\n"
            "call :Odd > lists[1].get(0): trim()\n"
            "call :Odd > :java.util.Arrays: sort(items)\n"
            "call :Odd > items:Item[]: clone()\n"
            "note: Recursion: f(null, lists) calls Odd.f again; the call is shown once and not followed.\n");
  // A method is found by the line its declaration starts on, as the
  // parser's results give it, or by its name's.
  EXPECT_EQ(sources.diagram("Odd", "make", 18), "lifelines: :Odd :Odd*\nnew :Odd > :Odd: new Odd()\n");
  EXPECT_EQ(sources.diagram("Odd", "make", 19), "lifelines: :Odd :Odd*\nnew :Odd > :Odd: new Odd()\n");
  EXPECT_EQ(sources.diagram("Odd", "make", 20), "no method make");
}

TEST(SequenceDiagram, ExpressionTextsReadAsWritten) {
  const syntax::Tree tree = parsed(
      "class T { void f() { x = a >> 2; y = -b * (c + d); z = (String) o; "
      "m(new int[] {1, 2}, p[i++], q ? 1 : 2, s instanceof T); } }\n");
  std::vector<std::string> texts;
  tree.root().walk([&](const syntax::Node& node) {
    if (node.is(Kind::ExprStmt)) texts.push_back(expressionText(node));
    return syntax::Step::Into;
  });
  EXPECT_EQ(texts, (std::vector<std::string>{"x = a >> 2", "y = -b * (c + d)", "z = (String)o",
                                             "m(new int[]{1, 2}, p[i++], q ? 1 : 2, s instanceof T)"}));
  EXPECT_EQ(simpleTypeName("java.util.Map<String, Item>[]"), "Map");
  EXPECT_EQ(simpleTypeName("<T> T"), "T");
  EXPECT_EQ(simpleTypeName("String..."), "String");
}

}  // namespace
}  // namespace sequence
