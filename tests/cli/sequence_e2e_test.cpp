// flowchart sequence on shipped Java files with known call structures:
// the saved XML drawings are read back and each is checked whole, its
// lifelines left to right and its messages top to bottom, each with its
// master, the lifelines it is glued to, the cells it is glued at and its
// text; and the geometry the drawing promises: messages level between
// their lifelines, a self message ending 0.1 inch lower, a creation ending
// at the new box's side at the box's height, every lifeline ending below
// the last message, and a note below the drawing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <tuple>

#include "xml/document.h"
#include "tests/cli/cli_run.h"

using testing_support::fixture;
using testing_support::readFile;
using testing_support::TempDir;

namespace {

double number(const xml::Node& node, const char* name) { return std::atof(attr(node, name).c_str()); }

// The lifeline a shape stands on: its own name, or the part before "/"
// of an activation bar ("o.2/bar.1").
std::string lifelineName(const std::string& shape) { return shape.substr(0, shape.find('/')); }

// Where a message end is glued: an activation bar, a new connection row of
// the lifeline or the creation point.
std::string gluePoint(const xml::Node& end) {
  const std::string cell = attr(end, "cell");
  if (cell == "Connections.CreationPt") return "box";
  if (attr(end, "shape").find("/bar.") != std::string::npos) return "bar";
  // A point of its own on a lifeline.
  return cell.empty() && !attr(end, "shape").empty() ? "row" : "<" + cell + ">";
}

struct Message {
  std::string kind, text;
  double y = 0.0;  // of its start
};

// The drawing as a listing, with its geometry checked on the way: the
// lifelines left to right; the messages top to bottom; the activation
// bars, each with its lifeline and the first and last message it sends or
// takes; the fragments with their texts and the calls of each operand,
// indented by the fragments round them; the notes.
std::string sequenceListing(const std::string& path) {
  // The note's lines are kept apart by line feeds.
  auto drawing = xml::Document::loadFile(path, xml::LoadOptions{true});
  if (!drawing) return "drawing does not load";
  std::string out;
  const xml::NodeList lifelines =
      drawing->root().selectNodes("/drawing/page/shape[@master='Object Lifeline']");
  std::vector<xml::Node> byX(lifelines.begin(), lifelines.end());
  std::sort(byX.begin(), byX.end(),
            [](const xml::Node& a, const xml::Node& b) { return number(a, "pinX") < number(b, "pinX"); });
  std::map<std::string, xml::Node> named;
  for (const xml::Node& shape : drawing->root().selectNodes("/drawing/page/shape"))
    named[attr(shape, "name")] = shape;
  // The middle of a lifeline's box: its pin is 0.15 of its width left of it.
  auto centre = [&](const std::string& lifeline) {
    const xml::Node box = named[lifeline];
    return number(box, "pinX") + 0.15 * number(box, "width");
  };
  // A name in several lines shows them apart by "|".
  auto shown = [](std::string text) {
    for (size_t at = text.find("\\n"); at != std::string::npos; at = text.find("\\n", at)) text.replace(at, 2, "|");
    return text;
  };
  auto lifelineText = [&](const std::string& shape) { return shown(attr(named[lifelineName(shape)], "text")); };
  out += "page: " + attr(drawing->root().selectSingleNode("/drawing/page"), "name") + "\n";
  EXPECT_EQ(drawing->root().countNodes("/drawing/page"), 1u);
  out += "lifelines:";
  for (const xml::Node& lifeline : byX) out += " " + shown(attr(lifeline, "text"));
  out += "\n";

  // Bars stand on their lifelines, one half width right for each bar they run inside.
  const xml::NodeList bars = drawing->root().selectNodes("/drawing/page/shape[@master='Activation']");
  for (const xml::Node& bar : bars) {
    const double offset = (number(bar, "pinX") - centre(lifelineName(attr(bar, "name")))) / 0.05;
    EXPECT_NEAR(offset, std::round(offset), 1e-3) << attr(bar, "name");
    EXPECT_GE(offset, -1e-3) << attr(bar, "name");
  }
  // The messages that start or end on a side of each bar, with the height there.
  std::map<std::string, std::vector<std::pair<const Message*, double>>> onBar;
  auto touch = [&](const Message* message, double x, double y) {
    for (const xml::Node& bar : bars) {
      const double top = number(bar, "pinY"), bottom = top - number(bar, "height");
      if (std::fabs(std::fabs(x - number(bar, "pinX")) - 0.05) < 1e-3 && y <= top + 1e-3 && y >= bottom - 1e-3)
        onBar[attr(bar, "name")].push_back({message, y});
    }
  };

  // The messages in drop order, which is the order of the calls: each must
  // lie below the one before.
  std::vector<Message> messages;
  double previous = 1e9;
  double lowest = 1e9;
  const xml::NodeList connectors = drawing->root().selectNodes("/drawing/page/connector");
  messages.reserve(connectors.size());
  for (const xml::Node& message : connectors) {
    const xml::Node begin = message.selectSingleNode("begin");
    const xml::Node end = message.selectSingleNode("end");
    const std::string master = attr(message, "master");
    const std::string kind = master == "Message (call) "  ? "self"
                             : master == "Message (call)" ? "call"
                                                          : "return";
    const std::string from = attr(begin, "shape"), to = attr(end, "shape");
    out += kind + " " + lifelineText(from) + " > " + lifelineText(to) + " [" + gluePoint(begin) + "-" +
           gluePoint(end) + "]: " + attr(message, "text") + "\n";
    const double y = number(begin, "y");
    messages.push_back({kind, attr(message, "text"), y});
    EXPECT_LT(y, previous - 0.2) << attr(message, "text") << " is not below the message before it";
    previous = lowest = y;
    // Ends lie on the lifelines' dashed lines, or on the side of a bar that
    // faces the other end (a self message comes back to the right side of
    // the bar it starts).
    const double beginX = number(begin, "x"), endX = number(end, "x");
    touch(&messages.back(), beginX, y);
    touch(&messages.back(), endX, number(end, "y"));
    for (const auto& [shape, x, other] : {std::tuple{from, beginX, endX}, std::tuple{to, endX, beginX}}) {
      const xml::Node glued = named[shape];
      if (shape.find("/bar.") != std::string::npos) {
        const double side = kind == "self" ? 0.05 : other > x ? 0.05 : -0.05;
        const bool selfEnd = kind == "self" && shape == to && x > number(glued, "pinX") + 0.075;
        EXPECT_NEAR(x, number(glued, "pinX") + side + (selfEnd ? 0.05 : 0.0), 1e-3) << attr(message, "text");
      } else if (gluePoint(end) != "box" || shape == from) {
        EXPECT_NEAR(x, centre(shape), 1e-3) << attr(message, "text");
      }
    }
    if (gluePoint(end) == "box") {
      // A new object's box stands at the height of its creation, facing it.
      const xml::Node box = named[to];
      EXPECT_NEAR(number(box, "pinY") + number(box, "height") / 2, y, 0.02) << attr(message, "text");
      EXPECT_NEAR(endX, number(box, "pinX") - 0.35 * number(box, "width"), 1e-3) << attr(message, "text");
    } else {
      EXPECT_NEAR(y - number(end, "y"), kind == "self" ? 0.1 : 0.0, 1e-3) << attr(message, "text");
    }
  }
  for (const xml::Node& lifeline : byX) {
    const double lineEnd = number(lifeline, "pinY") +
                           number(lifeline.selectSingleNode("cell[@name='Controls.Row_1.Y']"), "value");
    EXPECT_LT(lineEnd, lowest - 0.1) << attr(lifeline, "text") << " ends above the last message";
  }
  // Each bar reaches from just above its first message to below its last.
  for (const xml::Node& bar : bars) {
    const std::string name = attr(bar, "name");
    const auto& touching = onBar[name];
    out += "bar " + lifelineText(name) + ":";
    EXPECT_FALSE(touching.empty()) << name << " has no message";
    if (touching.empty()) continue;
    out += " " + touching.front().first->text + " .. " + touching.back().first->text + "\n";
    const double top = number(bar, "pinY"), bottom = top - number(bar, "height");
    // A new object's bar starts at the bottom of its box.
    if (std::fabs(top - number(named[lifelineName(name)], "pinY")) > 1e-3)
      EXPECT_NEAR(top, touching.front().second + 0.04, 0.011) << name;
    else
      EXPECT_GT(top, touching.front().second) << name;
    EXPECT_LT(bottom, touching.back().second) << name;
  }
  // Fragments top to bottom, outer before inner; each operand's calls are
  // the messages that start between its line and the next.
  const xml::NodeList frames = drawing->root().selectNodes("/drawing/page/shape[@master='Fragment']");
  const xml::NodeList operands = drawing->root().selectNodes("/drawing/page/shape[@master='Operand']");
  size_t operandsSeen = 0;
  for (const xml::Node& frame : frames) {
    const double left = number(frame, "pinX"), top = number(frame, "pinY");
    const double right = left + number(frame, "width"), bottom = top - number(frame, "height");
    int depth = 0;
    for (const xml::Node& other : frames) {
      const double otherLeft = number(other, "pinX"), otherTop = number(other, "pinY");
      if (other != frame && otherLeft <= left && otherTop >= top && otherLeft + number(other, "width") >= right &&
          otherTop - number(other, "height") <= bottom)
        ++depth;
    }
    std::vector<double> lines{top};
    std::vector<std::string> guards{""};
    for (const xml::Node& operand : operands)
      if (std::fabs(number(operand, "pinX") - left) < 1e-6 && std::fabs(number(operand, "width") - (right - left)) < 1e-6 &&
          number(operand, "pinY") < top && number(operand, "pinY") > bottom) {
        lines.push_back(number(operand, "pinY"));
        guards.push_back(attr(operand, "text"));
      }
    operandsSeen += lines.size() - 1;
    lines.push_back(bottom);
    out += std::string(2 * depth, ' ') + "fragment " + attr(frame, "text") + ":";
    for (size_t i = 0; i + 1 < lines.size(); ++i) {
      out += i ? " | " + guards[i] : "";
      for (const Message& message : messages)
        if (message.kind != "return" && message.y < lines[i] && message.y > lines[i + 1]) out += " " + message.text;
    }
    out += "\n";
  }
  EXPECT_EQ(operandsSeen, operands.size()) << "an operand lies outside its fragment";
  for (const xml::Node& note : drawing->root().selectNodes("/drawing/page/shape[@master='Note']")) {
    out += "note: " + attr(note, "text") + "\n";
    EXPECT_LT(number(note, "pinY"), lowest) << "the note is not below the messages";
  }
  return out;
}

std::string drawn(const std::vector<std::string>& args) {
  TempDir out;
  std::vector<std::string> all = {"sequence"};
  all.insert(all.end(), args.begin(), args.end());
  all.insert(all.end(), {"-o", out.file("s.xml")});
  const auto run = runFlowchart(all);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");
  return sequenceListing(out.file("s.xml"));
}

std::string shipped(const char* name) { return fixture(std::string("sequence/") + name).string(); }

// Self calls, creations, parameters, fields, static calls and returns.
TEST(SequenceCommand, CallsOfEveryKind) {
  EXPECT_EQ(drawn({shipped("Shop.java"), "checkout"}),
            "page: Shop.checkout: sequence diagram\n"
            "lifelines: :Shop order:Order inventory:|Inventory customer:|Customer :Pricing receipt:Receipt ledger:Ledger\n"
            "self :Shop > :Shop [bar-bar]: validate(item, count)\n"
            "call :Shop > order:Order [bar-box]: new Order(customer, item)\n"
            "call :Shop > inventory:|Inventory [bar-bar]: priceOf(item)\n"
            "return inventory:|Inventory > :Shop [bar-bar]: price\n"
            "call :Shop > customer:|Customer [bar-bar]: level()\n"
            "return customer:|Customer > :Shop [bar-bar]: level()\n"
            "call :Shop > :Pricing [bar-bar]: discount(price * count, customer.level())\n"
            "return :Pricing > :Shop [bar-bar]: discount(price * count, customer.level())\n"
            "call :Shop > order:Order [bar-bar]: setTotal(Pricing.discount(price * count, cust...\n"
            "self :Shop > :Shop [bar-bar]: record(order)\n"
            "call :Shop > receipt:Receipt [bar-box]: new Receipt(order)\n"
            "call :Shop > receipt:Receipt [bar-bar]: total()\n"
            "return receipt:Receipt > :Shop [bar-bar]: total()\n"
            "call :Shop > ledger:Ledger [bar-bar]: book(receipt.total())\n"
            "bar :Shop: validate(item, count) .. book(receipt.total())\n"
            "bar :Shop: validate(item, count) .. validate(item, count)\n"
            "bar inventory:|Inventory: priceOf(item) .. price\n"
            "bar customer:|Customer: level() .. level()\n"
            "bar :Pricing: discount(price * count, customer.level()) .. discount(price * count, customer.level())\n"
            "bar order:Order: setTotal(Pricing.discount(price * count, cust... .. setTotal(Pricing.discount(price * count, cust...\n"
            "bar :Shop: record(order) .. record(order)\n"
            "bar receipt:Receipt: total() .. total()\n"
            "bar ledger:Ledger: book(receipt.total()) .. book(receipt.total())\n");
}

// A self call followed one level deep: its calls hang under it; with the
// source tree, a chained call goes to the type the sources declare.
TEST(SequenceCommand, FollowedCallsAndChains) {
  EXPECT_EQ(drawn({shipped("Inventory.java"), "priceOf", "--depth", "2"}),
            "page: Inventory.priceOf: sequence diagram\n"
            "lifelines: :Inventory items:|Map<String, Item> :Shop item:Item\n"
            "self :Inventory > :Inventory [bar-bar]: lookup(name)\n"
            "call :Inventory > items:|Map<String, Item> [bar-bar]: get(name)\n"
            "return items:|Map<String, Item> > :Inventory [bar-bar]: get(name)\n"
            "call :Inventory > :Shop [bar-bar]: audit(name)\n"
            "call :Inventory > item:Item [bar-bar]: price()\n"
            "return item:Item > :Inventory [bar-bar]: price()\n"
            "bar :Inventory: lookup(name) .. price()\n"
            "bar :Inventory: lookup(name) .. get(name)\n"
            "bar items:|Map<String, Item>: get(name) .. get(name)\n"
            "bar :Shop: audit(name) .. audit(name)\n"
            "bar item:Item: price() .. price()\n");
  EXPECT_EQ(drawn({shipped("Shop.java"), "describe", "--src", fixture("sequence").string()}),
            "page: Shop.describe: sequence diagram\n"
            "lifelines: :Shop inventory:|Inventory :Item :String\n"
            "call :Shop > inventory:|Inventory [bar-bar]: lookup(item)\n"
            "return inventory:|Inventory > :Shop [bar-bar]: lookup(item)\n"
            "call :Shop > :Item [bar-bar]: label()\n"
            "return :Item > :Shop [bar-bar]: label()\n"
            "call :Shop > :String [bar-bar]: trim()\n"
            "return :String > :Shop [bar-bar]: trim()\n"
            "bar :Shop: lookup(item) .. trim()\n"
            "bar inventory:|Inventory: lookup(item) .. lookup(item)\n"
            "bar :Item: label() .. label()\n"
            "bar :String: trim() .. trim()\n");
}

// Calls with explicit type arguments go to the method after them, on what
// stands before the dot; this and super (Outer.super too) are the object
// itself.
TEST(SequenceCommand, CallsWithTypeArguments) {
  EXPECT_EQ(drawn({fixture("java/modern/TypeArguments.java").string(), "chain"}),
            "page: TypeArguments.chain: sequence diagram\n"
            "lifelines: :TypeArguments :B a() attributes:|Attributes attributes|.getAnnotation(\"anno\") :Collections\n"
            "call :TypeArguments > :B [bar-bar]: m()\n"
            "return :B > :TypeArguments [bar-bar]: nested\n"
            "self :TypeArguments > :TypeArguments [bar-bar]: a()\n"
            "call :TypeArguments > a() [bar-bar]: c(key)\n"
            "return a() > :TypeArguments [bar-bar]: onResult\n"
            "call :TypeArguments > attributes:|Attributes [bar-bar]: getAnnotation(\"anno\")\n"
            "return attributes:|Attributes > :TypeArguments [bar-bar]: getAnnotation(\"anno\")\n"
            "call :TypeArguments > attributes|.getAnnotation(\"anno\") [bar-bar]: getNumber(\"value\")\n"
            "return attributes|.getAnnotation(\"anno\") > :TypeArguments [bar-bar]: number\n"
            "self :TypeArguments > :TypeArguments [bar-bar]: super.find(key)\n"
            "self :TypeArguments > :TypeArguments [bar-bar]: find(key)\n"
            "call :TypeArguments > :Collections [bar-bar]: emptyList()\n"
            "return :Collections > :TypeArguments [bar-bar]: none\n"
            "self :TypeArguments > :TypeArguments [bar-bar]: super.find(mine)\n"
            "bar :TypeArguments: m() .. super.find(mine)\n"
            "bar :B: m() .. nested\n"
            "bar :TypeArguments: a() .. a()\n"
            "bar a(): c(key) .. onResult\n"
            "bar attributes:|Attributes: getAnnotation(\"anno\") .. getAnnotation(\"anno\")\n"
            "bar attributes|.getAnnotation(\"anno\"): getNumber(\"value\") .. number\n"
            "bar :TypeArguments: super.find(key) .. super.find(key)\n"
            "bar :TypeArguments: find(key) .. find(key)\n"
            "bar :Collections: emptyList() .. none\n"
            "bar :TypeArguments: super.find(mine) .. super.find(mine)\n"
            "fragment break [number == null]: super.find(key)\n");
}

// A class's supertypes are the types its extends clause names, a member
// type of a parameterized type as one (Outer<Helper>.Inner), not the type
// arguments: a call of the method it inherits is followed, one of the type
// argument's is not.
TEST(SequenceCommand, InheritedFromMemberTypeOfParameterizedType) {
  TempDir dir;
  testing_support::writeFile(dir.file("Child.java"),
                             "class Helper {\n  void help() { other(); }\n  void other() { }\n}\n"
                             "class Outer<T> {\n  class Inner {\n    void lift() { up(); }\n    void up() { }\n  }\n}\n"
                             "class Child extends Outer<Helper>.Inner {\n  void run() {\n    lift();\n    help();\n  }\n}\n");
  EXPECT_EQ(drawn({dir.file("Child.java"), "run", "--depth", "2"}),
            "page: Child.run: sequence diagram\n"
            "lifelines: :Child\n"
            "self :Child > :Child [bar-bar]: lift()\n"
            "self :Child > :Child [bar-bar]: up()\n"
            "self :Child > :Child [bar-bar]: help()\n"
            "bar :Child: lift() .. help()\n"
            "bar :Child: lift() .. up()\n"
            "bar :Child: up() .. up()\n"
            "bar :Child: help() .. help()\n");
}

// Recursion shown once, calls in anonymous classes, a method without
// calls and a capped diagram: each with its note.
TEST(SequenceCommand, NotesBelowTheDiagram) {
  EXPECT_EQ(drawn({shipped("Maths.java"), "factorial", "--depth", "4"}),
            "page: Maths.factorial: sequence diagram\n"
            "lifelines: :Maths\n"
            "self :Maths > :Maths [bar-bar]: factorial(n - 1)\n"
            "bar :Maths: factorial(n - 1) .. factorial(n - 1)\n"
            "bar :Maths: factorial(n - 1) .. factorial(n - 1)\n"
            "note: Recursion: factorial(n - 1) calls Maths.factorial again; the call is shown once and not followed.\n");
  EXPECT_EQ(drawn({shipped("Events.java"), "twice"}),
            "page: Events.twice: sequence diagram\n"
            "lifelines: :Events\n"
            "note: Events.twice makes no calls.\n");
  EXPECT_EQ(drawn({shipped("Events.java"), "subscribe", "--max-messages", "4"}),
            "page: Events.subscribe: sequence diagram\n"
            "lifelines: :Events :Listener event:Event bus:Bus\n"
            "call :Events > :Listener [bar-box]: new Listener()\n"
            "self :Events > :Events [bar-bar]: handle(event)\n"
            "call :Events > event:Event [bar-bar]: acknowledge()\n"
            "call :Events > bus:Bus [bar-bar]: register(topic, new Listener(){...})\n"
            "bar :Events: new Listener() .. register(topic, new Listener(){...})\n"
            "bar :Events: handle(event) .. handle(event)\n"
            "bar event:Event: acknowledge() .. acknowledge()\n"
            "bar bus:Bus: register(topic, new Listener(){...}) .. register(topic, new Listener(){...})\n"
            "note: Calls inside lambdas and anonymous classes of Events.subscribe are shown as calls from Events.subscribe.\n"
            "The diagram stops at 4 messages (--max-messages): 3 more calls are left out.\n");
}

// A file of the source tree that a diagram needs and that does not parse
// is left out, and the note says so.
TEST(SequenceCommand, SourceTreeFilesThatDoNotParse) {
  TempDir tree;
  testing_support::writeFile(tree.file("Shop.java"), readFile(shipped("Shop.java")));
  testing_support::writeFile(tree.file("Inventory.java"), "class Inventory {\n  int priceOf( {\n}\n");
  const auto run = runFlowchart({"sequence", tree.file("Shop.java"), "restock", "--depth", "2", "--src",
                                 tree.path().string(), "-o", tree.file("s.dot")});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, tree.file("s.dot") +
                         ": Shop.restock, 3 lifelines, 5 messages\n  note: " + tree.file("Inventory.java") +
                         ":2: does not parse as Java; calls into it are not followed.\n");
}

// The default output is an HTML page named after the method; the
// command says what it drew.
TEST(SequenceCommand, WritesHtmlBesideAndReports) {
  TempDir dir;
  const auto run = runFlowchart({"sequence", shipped("Maths.java"), "isEven:9", "--depth", "3"}, dir.path());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out,
            "Maths.isEven-sequence.html: Maths.isEven, 1 lifeline, 2 messages\n"
            "  note: Recursion: isEven(n - 1) calls Maths.isEven again; the call is shown once and not "
            "followed.\n");
  const std::string page = readFile(dir.path() / "Maths.isEven-sequence.html");
  EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u);
  EXPECT_NE(page.find("isOdd(n - 1)"), std::string::npos);
}

}  // namespace

// Every kind of combined fragment round the calls of ifs, an else-if
// chain, a loop with an early break, a synchronized block and a try with
// a catch, nested where the statements nest; a finally's call after the
// fragment.  A cast receiver is its value as the cast type, the calls of
// a stream chain one lifeline of its type, this.store and store one
// lifeline, and super.place a self call.
TEST(SequenceCommand, FragmentsAndReceivers) {
  // A for-each round a do-while, the case groups of a switch (one without
  // calls draws nothing), and an else alone as the if's negation.
  EXPECT_EQ(drawn({shipped("Orders.java"), "restock"}),
            "page: Orders.restock: sequence diagram\n"
            "lifelines: :Orders store:Store audit:Audit items:List<Item>\n"
            "call :Orders > store:Store [bar-bar]: reserve(item)\n"
            "call :Orders > store:Store [bar-bar]: isFull()\n"
            "return store:Store > :Orders [bar-bar]: isFull()\n"
            "call :Orders > audit:Audit [bar-bar]: small()\n"
            "call :Orders > audit:Audit [bar-bar]: large(null)\n"
            "call :Orders > items:List<Item> [bar-bar]: isEmpty()\n"
            "return items:List<Item> > :Orders [bar-bar]: isEmpty()\n"
            "call :Orders > store:Store [bar-bar]: hurry(null)\n"
            "bar :Orders: reserve(item) .. hurry(null)\n"
            "bar store:Store: reserve(item) .. reserve(item)\n"
            "bar store:Store: isFull() .. isFull()\n"
            "bar audit:Audit: small() .. small()\n"
            "bar audit:Audit: large(null) .. large(null)\n"
            "bar items:List<Item>: isEmpty() .. isEmpty()\n"
            "bar store:Store: hurry(null) .. hurry(null)\n"
            "fragment loop [for each item in items]: reserve(item) isFull()\n"
            "  fragment loop [store.isFull()]: reserve(item) isFull()\n"
            "fragment alt [case 1, case 2]: small() | [default] large(null)\n"
            "fragment opt [!(items.isEmpty())]: hurry(null)\n");
  EXPECT_EQ(drawn({shipped("Orders.java"), "place"}),
            "page: Orders.place: sequence diagram\n"
            "lifelines: :Orders order:Order audit:Audit store:Store items:List<Item> shipping:Parcel :Stream<Item> :StringBuilder\n"
            "call :Orders > order:Order [bar-bar]: total()\n"
            "return order:Order > :Orders [bar-bar]: total()\n"
            "call :Orders > audit:Audit [bar-bar]: large(order)\n"
            "call :Orders > order:Order [bar-bar]: rush()\n"
            "return order:Order > :Orders [bar-bar]: rush()\n"
            "call :Orders > store:Store [bar-bar]: hurry(order)\n"
            "call :Orders > store:Store [bar-bar]: queue(order)\n"
            "call :Orders > order:Order [bar-bar]: isEmpty()\n"
            "return order:Order > :Orders [bar-bar]: isEmpty()\n"
            "call :Orders > audit:Audit [bar-bar]: empty(order)\n"
            "call :Orders > items:List<Item> [bar-bar]: size()\n"
            "return items:List<Item> > :Orders [bar-bar]: size()\n"
            "call :Orders > items:List<Item> [bar-bar]: get(i)\n"
            "return items:List<Item> > :Orders [bar-bar]: get(i)\n"
            "call :Orders > store:Store [bar-bar]: reserve(items.get(i))\n"
            "call :Orders > store:Store [bar-bar]: isFull()\n"
            "return store:Store > :Orders [bar-bar]: isFull()\n"
            "call :Orders > audit:Audit [bar-bar]: full()\n"
            "call :Orders > store:Store [bar-bar]: commit()\n"
            "call :Orders > store:Store [bar-bar]: pay(order)\n"
            "call :Orders > audit:Audit [bar-bar]: failed(e)\n"
            "call :Orders > store:Store [bar-bar]: close()\n"
            "call :Orders > shipping:Parcel [bar-bar]: send()\n"
            "call :Orders > items:List<Item> [bar-bar]: stream()\n"
            "return items:List<Item> > :Orders [bar-bar]: stream()\n"
            "call :Orders > :Stream<Item> [bar-bar]: filter(Item::inStock)\n"
            "call :Orders > :Stream<Item> [bar-bar]: count()\n"
            "return :Stream<Item> > :Orders [bar-bar]: count\n"
            "call :Orders > :StringBuilder [bar-box]: new StringBuilder()\n"
            "call :Orders > :StringBuilder [bar-bar]: append(\"order \")\n"
            "call :Orders > :StringBuilder [bar-bar]: append(count)\n"
            "call :Orders > :StringBuilder [bar-bar]: toString()\n"
            "return :StringBuilder > :Orders [bar-bar]: note\n"
            "self :Orders > :Orders [bar-bar]: super.place(order, items, shipping)\n"
            "bar :Orders: total() .. super.place(order, items, shipping)\n"
            "bar order:Order: total() .. total()\n"
            "bar audit:Audit: large(order) .. large(order)\n"
            "bar order:Order: rush() .. rush()\n"
            "bar store:Store: hurry(order) .. hurry(order)\n"
            "bar store:Store: queue(order) .. queue(order)\n"
            "bar order:Order: isEmpty() .. isEmpty()\n"
            "bar audit:Audit: empty(order) .. empty(order)\n"
            "bar items:List<Item>: size() .. size()\n"
            "bar items:List<Item>: get(i) .. get(i)\n"
            "bar store:Store: reserve(items.get(i)) .. reserve(items.get(i))\n"
            "bar store:Store: isFull() .. isFull()\n"
            "bar audit:Audit: full() .. full()\n"
            "bar store:Store: commit() .. commit()\n"
            "bar store:Store: pay(order) .. pay(order)\n"
            "bar audit:Audit: failed(e) .. failed(e)\n"
            "bar store:Store: close() .. close()\n"
            "bar shipping:Parcel: send() .. send()\n"
            "bar items:List<Item>: stream() .. stream()\n"
            "bar :Stream<Item>: filter(Item::inStock) .. filter(Item::inStock)\n"
            "bar :Stream<Item>: count() .. count\n"
            "bar :StringBuilder: append(\"order \") .. append(\"order \")\n"
            "bar :StringBuilder: append(count) .. append(count)\n"
            "bar :StringBuilder: toString() .. note\n"
            "bar :Orders: super.place(order, items, shipping) .. super.place(order, items, shipping)\n"
            "fragment alt [order.total() > 100]: large(order) | [order.rush()] rush() hurry(order) | [else] queue(order)\n"
            "fragment opt [order.isEmpty()]: empty(order)\n"
            "fragment loop [i < items.size()]: size() get(i) reserve(items.get(i)) isFull() full()\n"
            "  fragment break [store.isFull()]: full()\n"
            "fragment critical [synchronized (this)]: commit()\n"
            "fragment alt [try]: pay(order) | [catch IllegalStateException] failed(e)\n");
}

// Two classes named Money in two packages: the import decides which one
// a call is followed into (billing.Money's plus calls round, legacy's
// convert); a nested class through its outer's import; a static import;
// and with --follow-implementations, the only implementation of an
// interface, noted.  Two on-demand imports that both offer Money leave
// it unresolved, and a note says so.
TEST(SequenceCommand, ClassesFoundThroughPackagesAndImports) {
  const std::string tree = fixture("sequence/packages").string();
  EXPECT_EQ(drawn({tree + "/shop/Till.java", "ring", "--depth", "2", "--src", tree, "--follow-implementations"}),
            "page: Till.ring: sequence diagram\n"
            "lifelines: :Till :Rates price:Money rounding:|Money.Rounding total:Money ledger:Ledger journal:Journal\n"
            "call :Till > :Rates [bar-bar]: vat(price)\n"
            "call :Rates > price:Money [bar-bar]: percent(20)\n"
            "return price:Money > :Rates [bar-bar]: percent(20)\n"
            "return :Rates > :Till [bar-bar]: vat(price)\n"
            "call :Till > price:Money [bar-bar]: plus(vat(price))\n"
            "self price:Money > price:Money [bar-bar]: round(other)\n"
            "return price:Money > :Till [bar-bar]: total\n"
            "call :Till > rounding:|Money.Rounding [bar-box]: new Money.Rounding()\n"
            "call :Till > rounding:|Money.Rounding [bar-bar]: apply(total)\n"
            "call rounding:|Money.Rounding > total:Money [bar-bar]: check()\n"
            "call :Till > ledger:Ledger [bar-bar]: book(total)\n"
            "call ledger:Ledger > journal:Journal [bar-bar]: write(amount)\n"
            "bar :Till: vat(price) .. book(total)\n"
            "bar :Rates: vat(price) .. vat(price)\n"
            "bar price:Money: percent(20) .. percent(20)\n"
            "bar price:Money: plus(vat(price)) .. total\n"
            "bar price:Money: round(other) .. round(other)\n"
            "bar rounding:|Money.Rounding: apply(total) .. check()\n"
            "bar total:Money: check() .. check()\n"
            "bar ledger:Ledger: book(total) .. write(amount)\n"
            "bar journal:Journal: write(amount) .. write(amount)\n"
            "note: Calls on Ledger are followed into BookLedger, its only implementation in the sources (--follow-implementations).\n");
  EXPECT_EQ(drawn({tree + "/shop/Counter.java", "count", "--depth", "2", "--src", tree}),
            "page: Counter.count: sequence diagram\n"
            "lifelines: :Counter money:Money\n"
            "call :Counter > money:Money [bar-bar]: plus(money)\n"
            "bar :Counter: plus(money) .. plus(money)\n"
            "bar money:Money: plus(money) .. plus(money)\n"
            "note: Money is billing.Money or legacy.Money (both imported on demand): calls on it are not followed.\n");
}

namespace {

// Objects created one after another each start their lifeline at their
// creation: laid out as edges across every lifeline to their left, 100 of
// them took ten seconds and 200 over five minutes.  Now they take a
// moment; the limit makes a relapse fail rather than hang.  So many
// statements in a row are folded 30 at a time onto pages of their own,
// each laid out in turn.
TEST(SequenceCommand, ManyCreatedObjectsAreLaidOutQuickly) {
  TempDir dir;
  std::string body;
  for (int i = 0; i < 200; ++i) {
    const std::string n = std::to_string(i);
    body += "    D" + n + " o" + n + " = new D" + n + "();\n    total += o" + n + ".m(total);\n";
  }
  testing_support::writeFile(dir.file("Make.java"),
                             "class Make {\n  int run() {\n    int total = 0;\n" + body + "    return total;\n  }\n}\n");
  const auto run = testing_support::runProgram(FLOWCHART_CLI, {"sequence", "Make.java", "run", "--max-messages", "600",
                                                               "-o", "make.html"},
                                               dir.path(), 30);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "make.html: Make.run, 1 lifeline, 20 messages, 21 pages\n");
}

}  // namespace
