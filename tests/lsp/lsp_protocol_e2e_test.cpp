// flowchart lsp as an editor drives it: a whole session written to its
// standard input, its answers read back from its standard output.
#include <gtest/gtest.h>

#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace {

using Json = nlohmann::ordered_json;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

std::string frame(const std::string& content) {
  return "Content-Length: " + std::to_string(content.size()) + "\r\n\r\n" + content;
}
std::string frame(const Json& message) { return frame(message.dump()); }

Json request(int id, const std::string& method, Json params) {
  return {{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", std::move(params)}};
}
Json notification(const std::string& method, Json params) {
  return {{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}};
}
Json range(int line, int character, int endLine, int endCharacter) {
  return {{"start", {{"line", line}, {"character", character}}}, {"end", {{"line", endLine}, {"character", endCharacter}}}};
}

// The session's output: answers by id, notifications in order.
struct Session {
  std::map<std::string, Json> answers;
  std::vector<Json> notifications;
  std::vector<std::string> unnumbered;  // errors without an id: to messages not read as requests
  int exitCode = -1;
  std::string log;
};

Session serve(const TempDir& dir, const std::string& input) {
  writeFile(dir.path() / "session.in", input);
  Session session;
  session.exitCode = testing_support::runShell(testing_support::shellQuote(FLOWCHART_CLI) + " lsp < " +
                                               testing_support::shellQuote(dir.file("session.in")) + " > " +
                                               testing_support::shellQuote(dir.file("session.out")) + " 2> " +
                                               testing_support::shellQuote(dir.file("session.err")));
  session.log = readFile(dir.path() / "session.err");
  const std::string out = readFile(dir.path() / "session.out");
  for (size_t at = 0; at < out.size();) {
    const size_t blank = out.find("\r\n\r\n", at);
    EXPECT_EQ(out.compare(at, 16, "Content-Length: "), 0) << out.substr(at, 40);
    if (blank == std::string::npos) break;
    const size_t length = std::stoul(out.substr(at + 16, blank - at - 16));
    const Json message = Json::parse(out.substr(blank + 4, length));
    at = blank + 4 + length;
    if (message.contains("id") && message["id"].is_null()) session.unnumbered.push_back(message["error"].dump());
    else if (message.contains("id")) session.answers[message["id"].dump()] = message;
    else session.notifications.push_back(message);
  }
  return session;
}

// Below 'total', the name of the second method stands after a character
// of two UTF-16 units: its columns are those of UTF-16.
constexpr const char* kOrder =
    "package shop;\n"
    "\n"
    "public class Order {\n"
    "  private int total;\n"
    "\n"
    "  public Order(int total) { this.total = total; }\n"
    "\n"
    "  /* \xF0\x9F\x98\x80 */ int discount(int[] prices, boolean member) {\n"
    "    int sum = 0;\n"
    "    for (int p : prices) {\n"
    "      if (p > 100 && member) {\n"
    "        sum += p / 10;\n"
    "      } else if (p > 50) {\n"
    "        sum += 1;\n"
    "      }\n"
    "    }\n"
    "    return sum;\n"
    "  }\n"
    "\n"
    "  interface Rule {\n"
    "    boolean applies(int price);\n"
    "  }\n"
    "\n"
    "  int hidden() {\n"
    "    // tidy \\u000a total = 0;\n"
    "    return total;\n"
    "  }\n"
    "}\n";

TEST(LspSession, AnswersAnEditorAsItEditsAndKeepsGoingOnBadInput) {
  TempDir dir;
  const std::string path = dir.file("Order.java");
  writeFile(path, kOrder);
  const std::string uri = "file://" + path;
  const Json document{{"uri", uri}};
  const auto at = [&](int line) { return Json{{"textDocument", document}, {"position", {{"line", line}, {"character", 0}}}}; };
  const auto change = [&](int version, Json changeRange, const std::string& text) {
    return notification("textDocument/didChange", {{"textDocument", {{"uri", uri}, {"version", version}}},
                                                   {"contentChanges", {{{"range", changeRange}, {"text", text}}}}});
  };
  std::string input;
  for (const Json& message : {
           request(1, "initialize", {{"processId", nullptr},
                                     {"capabilities", Json::object()},
                                     {"initializationOptions", {{"maxCc", 3}, {"maxCognitive", 3}, {"java", "17"}}}}),
           notification("initialized", Json::object()),
           notification("textDocument/didOpen",
                        {{"textDocument", {{"uri", uri}, {"languageId", "java"}, {"version", 1}, {"text", kOrder}}}}),
           request(2, "textDocument/documentSymbol", {{"textDocument", document}}),
           request(3, "textDocument/codeLens", {{"textDocument", document}}),
           request(4, "textDocument/hover", {{"textDocument", document}, {"position", {{"line", 7}, {"character", 17}}}}),
           request(5, "flowchart/graph", {{"textDocument", document}, {"position", {{"line", 10}, {"character", 3}}}, {"theme", "dark"}}),
           request(6, "workspace/executeCommand", {{"command", "flowchart.copyMermaid"}, {"arguments", {uri, 7}}}),
           request(7, "flowchart/sequence", at(8)),
           // "return sum;" becomes "return sum +;", which does not parse...
           change(2, range(16, 14, 16, 15), " +;"),
           request(8, "textDocument/documentSymbol", {{"textDocument", document}}),
           // ... and then "return sum * 2;", which does.
           change(3, range(16, 15, 16, 16), "* 2"),
           request(9, "flowchart/graph", at(16)),
       })
    input += frame(message);
  input += frame(std::string(R"({"jsonrpc":"2.0","id":20,"method":"textDocument/codeLens",)"));  // cut short
  input += frame(Json{{"jsonrpc", "2.0"}, {"id", 21}, {"method", 42}});
  input += frame(Json::array({1, 2}));
  input += frame(request(22, "textDocument/formatting", {{"textDocument", document}}));
  input += frame(request(23, "textDocument/codeLens", {{"textDocument", document}}));
  input += frame(notification("$/cancelRequest", {{"id", 23}}));
  input += frame(request(24, "flowchart/graph", at(0)));
  input += frame(request(25, "flowchart/graph", at(20)));
  input += frame(notification("textDocument/didClose", {{"textDocument", document}}));
  input += frame(request(26, "textDocument/codeLens", {{"textDocument", document}}));
  input += frame(request(27, "shutdown", nullptr));
  input += frame(request(28, "textDocument/documentSymbol", {{"textDocument", document}}));
  input += frame(notification("exit", nullptr));
  const Session session = serve(dir, input);
  EXPECT_EQ(session.exitCode, 0) << session.log;
  const auto result = [&](int id) { return session.answers.count(std::to_string(id)) ? session.answers.at(std::to_string(id)).value("result", Json()) : Json("no answer"); };
  const auto error = [&](int id) { return session.answers.count(std::to_string(id)) ? session.answers.at(std::to_string(id)).value("error", Json()) : Json("no answer"); };

  EXPECT_EQ(result(1).dump(),
            R"({"capabilities":{"positionEncoding":"utf-16","textDocumentSync":{"openClose":true,"change":2},)"
            R"("documentSymbolProvider":true,"codeLensProvider":{"resolveProvider":false},"hoverProvider":true,)"
            R"("executeCommandProvider":{"commands":["flowchart.copyMermaid"]}},"serverInfo":{"name":"flowchart","version":"1.0"}})");
  const auto withUri = [&](std::string text) {
    for (size_t at = text.find("URI"); at != std::string::npos; at = text.find("URI", at + uri.size()))
      text.replace(at, 3, uri);
    return text;
  };
  // Classes and methods nested, each name's columns in UTF-16 units.
  const std::string symbols =
      R"j([{"name":"Order","detail":"class","kind":5,"range":{"start":{"line":2,"character":0},"end":{"line":27,"charact)j"
      R"j(er":1}},"selectionRange":{"start":{"line":2,"character":13},"end":{"line":2,"character":18}},"children":[{"nam)j"
      R"j(e":"Order(int)","detail":"CC 1 · cognitive 0 · NLOC 1","kind":9,"range":{"start":{"line":5,"character":0},"end)j"
      R"j(":{"line":5,"character":49}},"selectionRange":{"start":{"line":5,"character":9},"end":{"line":5,"character":14)j"
      R"j(}},"children":[]},{"name":"discount(int[], boolean)","detail":"CC 5 · cognitive 5 · NLOC 11","kind":6,"range":)j"
      R"j({"start":{"line":7,"character":0},"end":{"line":17,"character":3}},"selectionRange":{"start":{"line":7,"charac)j"
      R"j(ter":15},"end":{"line":7,"character":23}},"children":[]},{"name":"Rule","detail":"interface","kind":11,"range")j"
      R"j(:{"start":{"line":19,"character":0},"end":{"line":21,"character":3}},"selectionRange":{"start":{"line":19,"cha)j"
      R"j(racter":12},"end":{"line":19,"character":16}},"children":[{"name":"applies(int)","detail":"no body","kind":6,")j"
      R"j(range":{"start":{"line":20,"character":0},"end":{"line":20,"character":31}},"selectionRange":{"start":{"line":)j"
      R"j(20,"character":12},"end":{"line":20,"character":19}},"children":[]}]},{"name":"hidden()","detail":"CC 1 · cogn)j"
      R"j(itive 0 · NLOC 4","kind":6,"range":{"start":{"line":23,"character":0},"end":{"line":26,"character":3}},"select)j"
      R"j(ionRange":{"start":{"line":23,"character":6},"end":{"line":23,"character":12}},"children":[]}]}])j";
  EXPECT_EQ(result(2).dump(), symbols);
  // The text that does not parse keeps the last good symbols.
  EXPECT_EQ(result(8).dump(), symbols);
  std::string lenses;
  for (const Json& lens : result(3))
    lenses += std::to_string(lens["range"]["start"]["line"].get<int>()) + " " + lens["command"]["title"].get<std::string>() +
              " " + lens["command"]["command"].get<std::string>() + " " + lens["command"]["arguments"].dump() + "\n";
  EXPECT_EQ(lenses, withUri("5 CC 1 · cognitive 0 · NLOC 1 flowchart.showFlowchart [\"URI\",5]\n"
                            "5 sequence diagram flowchart.showSequence [\"URI\",5]\n"
                            "7 CC 5 · cognitive 5 · NLOC 11 flowchart.showFlowchart [\"URI\",7]\n"
                            "7 sequence diagram flowchart.showSequence [\"URI\",7]\n"
                            "23 CC 1 · cognitive 0 · NLOC 4 flowchart.showFlowchart [\"URI\",23]\n"
                            "23 sequence diagram flowchart.showSequence [\"URI\",23]\n"));
  EXPECT_EQ(result(4).dump(),
            R"({"contents":{"kind":"markdown","value":"**Order.discount(int[], boolean)**\n\ncyclomatic complexity 5 · )"
            R"(cognitive complexity 5 · NLOC 11 · Halstead volume 238"},"range":{"start":{"line":7,"character":15},)"
            R"("end":{"line":7,"character":23}}})");

  // The graph exactly as draw writes it, the picture in the theme asked for.
  const Json graph = result(5);
  EXPECT_EQ(graph["method"], "Order.discount(int[], boolean)");
  EXPECT_EQ(graph["range"], Json::parse(R"({"start":{"line":7,"character":0},"end":{"line":17,"character":3}})"));
  ASSERT_EQ(testing_support::runProgram(FLOWCHART_CLI, {"draw", path, "discount", "-o", dir.file("d.json")}).exitCode, 0);
  EXPECT_EQ(graph["graph"], Json::parse(readFile(dir.path() / "d.json")));
  const std::string svg = graph.value("svg", "");
  EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
  EXPECT_NE(svg.substr(0, svg.find('>', svg.find("<svg "))).find("data-theme=\"dark\""), std::string::npos);
  EXPECT_NE(svg.find("if (p &gt; 100 &amp;&amp; member)"), std::string::npos);
  ASSERT_EQ(testing_support::runProgram(FLOWCHART_CLI, {"draw", path, "discount", "-o", dir.file("d.mmd")}).exitCode, 0);
  EXPECT_EQ(result(6), readFile(dir.path() / "d.mmd"));
  EXPECT_NE(result(7).value("svg", "").find("sequence diagram"), std::string::npos);
  // After the edits: the new text's graph.
  EXPECT_NE(result(9)["graph"].dump().find("return sum * 2"), std::string::npos);
  // No theme asked for: the viewer's scheme chooses.
  const std::string unthemed = result(9).value("svg", "");
  EXPECT_EQ(unthemed.substr(unthemed.find("<svg "), unthemed.find('>', unthemed.find("<svg "))).find("data-theme"),
            std::string::npos);

  // Warnings over the thresholds with the cognitive increments, the
  // hidden code; a syntax error where it is; nothing once closed.
  ASSERT_EQ(session.notifications.size(), 4u);
  EXPECT_EQ(session.notifications[0].dump(), withUri(
      R"j({"jsonrpc":"2.0","method":"textDocument/publishDiagnostics","params":{"uri":"URI","version":1,"diagnostics":[{)j"
      R"j("severity":2,"code":"cyclomatic-complexity","source":"flowchart","message":"Order.discount: cyclomatic complex)j"
      R"j(ity 5 > 3","range":{"start":{"line":7,"character":15},"end":{"line":7,"character":23}}},{"severity":2,"code":")j"
      R"j(cognitive-complexity","source":"flowchart","message":"Order.discount: cognitive complexity 5 > 3","range":{"st)j"
      R"j(art":{"line":7,"character":15},"end":{"line":7,"character":23}},"relatedInformation":[{"location":{"uri":"URI")j"
      R"j(,"range":{"start":{"line":9,"character":4},"end":{"line":9,"character":7}}},"message":"+1"},{"location":{"uri")j"
      R"j(:"URI","range":{"start":{"line":10,"character":6},"end":{"line":10,"character":8}}},"message":"+2 (incl 1 for )j"
      R"j(nesting)"},{"location":{"uri":"URI","range":{"start":{"line":10,"character":18},"end":{"line":10,"character":2)j"
      R"j(0}}},"message":"+1"},{"location":{"uri":"URI","range":{"start":{"line":12,"character":13},"end":{"line":12,"ch)j"
      R"j(aracter":15}}},"message":"+1"}]},{"severity":2,"code":"unicode-escape","source":"flowchart","message":"Order.h)j"
      R"j(idden: Unicode escape \\u000a is a line break that ends a // comment: the rest of the line is code","range":{")j"
      R"j(start":{"line":24,"character":12},"end":{"line":24,"character":18}}}]}})j"));
  EXPECT_EQ(session.notifications[1]["params"].dump(), withUri(
      R"({"uri":"URI","version":2,"diagnostics":[{"range":{"start":{"line":16,"character":0},"end":{"line":16,)"
      R"("character":17}},"severity":1,"source":"flowchart","message":"does not parse as Java"}]})"));
  EXPECT_EQ(session.notifications[2]["params"]["version"], 3);
  EXPECT_EQ(session.notifications[2]["params"]["diagnostics"], session.notifications[0]["params"]["diagnostics"]);
  EXPECT_EQ(session.notifications[3]["params"].dump(), withUri(R"({"uri":"URI","diagnostics":[]})"));

  // Bad input answered, and the server goes on.
  EXPECT_EQ(session.unnumbered, (std::vector<std::string>{
      R"({"code":-32700,"message":"the message is not JSON"})",
      R"({"code":-32600,"message":"not a JSON-RPC 2.0 request or notification"})"}));
  EXPECT_EQ(error(21).dump(), R"({"code":-32600,"message":"the method is not a string"})");
  EXPECT_EQ(error(22).dump(), R"({"code":-32601,"message":"no method textDocument/formatting"})");
  EXPECT_EQ(error(23).dump(), R"({"code":-32800,"message":"cancelled"})");
  EXPECT_EQ(error(24).dump(), R"({"code":-32803,"message":"no method at line 1"})");
  EXPECT_EQ(error(25).dump(), R"({"code":-32803,"message":"Order.Rule.applies has no body (abstract, interface or native): nothing to draw"})");
  EXPECT_EQ(error(26).dump(), withUri(R"({"code":-32602,"message":"URI is not open"})"));
  EXPECT_EQ(result(27), nullptr);
  EXPECT_EQ(error(28).dump(), R"({"code":-32600,"message":"the server is shut down: only exit is left"})");
  EXPECT_EQ(session.answers.size(), 17u);
  EXPECT_FALSE(testing_support::fileExists(dir.path() / "Order.java.html"));
}

// Without shutdown, the end of the input ends the server with status 1,
// and so does exit; the client's encoding is taken when it offers UTF-8.
TEST(LspSession, EndsWithoutShutdownAsFailedAndCountsUtf8WhenOffered) {
  TempDir dir;
  const std::string uri = "file://" + dir.file("Order.java");
  const Json initialize = request(1, "initialize", {{"capabilities", {{"general", {{"positionEncodings", {"utf-8", "utf-16"}}}}}}});
  const std::string opened =
      frame(initialize) + frame(notification("initialized", Json::object())) +
      frame(notification("textDocument/didOpen", {{"textDocument", {{"uri", uri}, {"languageId", "java"}, {"version", 1}, {"text", kOrder}}}})) +
      frame(request(2, "textDocument/hover", {{"textDocument", {{"uri", uri}}}, {"position", {{"line", 7}, {"character", 18}}}}));
  const Session ended = serve(dir, opened);
  EXPECT_EQ(ended.exitCode, 1);
  EXPECT_EQ(ended.log, "flowchart lsp: the input ended without \"exit\"; ending with status 1\n");
  EXPECT_EQ(ended.answers.at("1")["result"]["capabilities"]["positionEncoding"], "utf-8");
  // The name's bytes in UTF-8: the emoji is four.
  EXPECT_EQ(ended.answers.at("2")["result"]["range"].dump(), R"({"start":{"line":7,"character":17},"end":{"line":7,"character":25}})");
  EXPECT_EQ(serve(dir, opened + frame(notification("exit", nullptr))).exitCode, 1);
}

}  // namespace
