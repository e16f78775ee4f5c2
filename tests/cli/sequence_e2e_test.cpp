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

#include "flowchart/xml/document.h"
#include "tests/cli/cli_run.h"

using testing_support::fixture;
using testing_support::readFile;
using testing_support::TempDir;

namespace {

double number(const xml::Node& node, const char* name) { return std::atof(attr(node, name).c_str()); }

// Where a message end is glued: a new connection row or the creation point.
std::string gluePoint(const xml::Node& end) {
  const std::string cell = attr(end, "cell");
  if (cell == "Connections.CreationPt") return "box";
  return cell.rfind("Connections.Row_", 0) == 0 ? "row" : "<" + cell + ">";
}

// The drawing as a listing, with its geometry checked on the way.
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
  out += "page: " + attr(drawing->root().selectSingleNode("/drawing/page"), "name") + "\n";
  EXPECT_EQ(drawing->root().countNodes("/drawing/page"), 1u);
  out += "lifelines:";
  for (const xml::Node& lifeline : byX) {
    out += " " + attr(lifeline, "text");
    named[attr(lifeline, "name")] = lifeline;
  }
  out += "\n";
  // The messages in drop order, which is the order of the calls: each must
  // lie below the one before.
  double previous = 1e9;
  double lowest = 1e9;
  for (const xml::Node& message : drawing->root().selectNodes("/drawing/page/connector")) {
    const xml::Node begin = message.selectSingleNode("begin");
    const xml::Node end = message.selectSingleNode("end");
    const std::string master = attr(message, "master");
    const std::string kind = master == "Message (call) "  ? "self"
                             : master == "Message (call)" ? "call"
                                                          : "return";
    const std::string from = attr(begin, "shape"), to = attr(end, "shape");
    out += kind + " " + attr(named[from], "text") + " > " + attr(named[to], "text") + " [" +
           gluePoint(begin) + "-" + gluePoint(end) + "]: " + attr(message, "text") + "\n";
    const double y = number(begin, "y");
    EXPECT_LT(y, previous - 0.2) << attr(message, "text") << " is not below the message before it";
    previous = lowest = y;
    // Ends lie on the lifelines' dashed lines, the middle of their boxes.
    EXPECT_NEAR(number(begin, "x"), number(named[from], "pinX") + 0.1875, 1e-3) << attr(message, "text");
    if (gluePoint(end) == "box") {
      // A new object's box stands at the height of its creation, facing it.
      const xml::Node box = named[to];
      EXPECT_NEAR(number(box, "pinY") + number(box, "height") / 2, y, 0.02) << attr(message, "text");
      EXPECT_NEAR(number(end, "x"), number(box, "pinX") - 0.4375, 1e-3) << attr(message, "text");
    } else {
      EXPECT_NEAR(number(end, "x"), number(named[to], "pinX") + 0.1875, 1e-3) << attr(message, "text");
      EXPECT_NEAR(y - number(end, "y"), kind == "self" ? 0.1 : 0.0, 1e-3) << attr(message, "text");
    }
  }
  for (const auto& [name, lifeline] : named) {
    const double lineEnd = number(lifeline, "pinY") +
                           number(lifeline.selectSingleNode("cell[@name='Controls.Row_1.Y']"), "value");
    EXPECT_LT(lineEnd, lowest - 0.1) << attr(lifeline, "text") << " ends above the last message";
  }
  for (const xml::Node& note : drawing->root().selectNodes("/drawing/page/shape[@master='Note']")) {
    out += "note: " + attr(note, "text") + "\n";
    EXPECT_LT(number(note, "pinY"), lowest) << "the note is not below the messages";
  }
  EXPECT_EQ(drawing->root().countNodes("/drawing/page/shape"),
            named.size() + (out.find("\nnote: ") != std::string::npos));
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
            "lifelines: :Shop order:Order inventory:Inventory customer:Customer :Pricing receipt:Receipt "
            "ledger:Ledger\n"
            "self :Shop > :Shop [row-row]: validate(item, count)\n"
            "call :Shop > order:Order [row-box]: new Order(customer, item)\n"
            "call :Shop > inventory:Inventory [row-row]: priceOf(item)\n"
            "return inventory:Inventory > :Shop [row-row]: price\n"
            "call :Shop > customer:Customer [row-row]: level()\n"
            "return customer:Customer > :Shop [row-row]: level()\n"
            "call :Shop > :Pricing [row-row]: discount(price * count, customer.level())\n"
            "return :Pricing > :Shop [row-row]: discount(price * count, customer.level())\n"
            "call :Shop > order:Order [row-row]: setTotal(Pricing.discount(price * count, cust...\n"
            "self :Shop > :Shop [row-row]: record(order)\n"
            "call :Shop > receipt:Receipt [row-box]: new Receipt(order)\n"
            "call :Shop > receipt:Receipt [row-row]: total()\n"
            "return receipt:Receipt > :Shop [row-row]: total()\n"
            "call :Shop > ledger:Ledger [row-row]: book(receipt.total())\n");
}

// A self call followed one level deep: its calls hang under it; with the
// source tree, a chained call goes to the type the sources declare.
TEST(SequenceCommand, FollowedCallsAndChains) {
  EXPECT_EQ(drawn({shipped("Inventory.java"), "priceOf", "--depth", "2"}),
            "page: Inventory.priceOf: sequence diagram\n"
            "lifelines: :Inventory items:Map<String, Item> :Shop item:Item\n"
            "self :Inventory > :Inventory [row-row]: lookup(name)\n"
            "call :Inventory > items:Map<String, Item> [row-row]: get(name)\n"
            "return items:Map<String, Item> > :Inventory [row-row]: get(name)\n"
            "call :Inventory > :Shop [row-row]: audit(name)\n"
            "call :Inventory > item:Item [row-row]: price()\n"
            "return item:Item > :Inventory [row-row]: price()\n");
  EXPECT_EQ(drawn({shipped("Shop.java"), "describe", "--src", fixture("sequence").string()}),
            "page: Shop.describe: sequence diagram\n"
            "lifelines: :Shop inventory:Inventory :Item :String\n"
            "call :Shop > inventory:Inventory [row-row]: lookup(item)\n"
            "return inventory:Inventory > :Shop [row-row]: lookup(item)\n"
            "call :Shop > :Item [row-row]: label()\n"
            "return :Item > :Shop [row-row]: label()\n"
            "call :Shop > :String [row-row]: trim()\n"
            "return :String > :Shop [row-row]: trim()\n");
}

// Recursion shown once, calls in anonymous classes, a method without
// calls and a capped diagram: each with its note.
TEST(SequenceCommand, NotesBelowTheDiagram) {
  EXPECT_EQ(drawn({shipped("Maths.java"), "factorial", "--depth", "4"}),
            "page: Maths.factorial: sequence diagram\n"
            "lifelines: :Maths\n"
            "self :Maths > :Maths [row-row]: factorial(n - 1)\n"
            "note: Recursion: factorial(n - 1) calls Maths.factorial again; the call is shown once and not "
            "followed.\n");
  EXPECT_EQ(drawn({shipped("Events.java"), "twice"}),
            "page: Events.twice: sequence diagram\n"
            "lifelines: :Events\n"
            "note: Events.twice makes no calls.\n");
  EXPECT_EQ(drawn({shipped("Events.java"), "subscribe", "--max-messages", "4"}),
            "page: Events.subscribe: sequence diagram\n"
            "lifelines: :Events :Listener event:Event bus:Bus\n"
            "call :Events > :Listener [row-box]: new Listener()\n"
            "self :Events > :Events [row-row]: handle(event)\n"
            "call :Events > event:Event [row-row]: acknowledge()\n"
            "call :Events > bus:Bus [row-row]: register(topic, new Listener(){...})\n"
            "note: Calls inside lambdas and anonymous classes of Events.subscribe are shown as calls from "
            "Events.subscribe.\n"
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
                         ": Shop.restock, 4 lifelines, 5 messages\n  note: " + tree.file("Inventory.java") +
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
