#include "lsp/server.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <thread>

#include "cfg/json.h"
#include "drawing/drawing_svg.h"
#include "flowdraw/drawing.h"
#include "frontends/java/language_level.h"
#include "mermaid/flowchart_text.h"
#include "mermaid/sequence_text.h"
#include "pipeline/method_flow.h"
#include "pipeline/method_flowchart.h"
#include "pipeline/method_sequence.h"
#include "text/text_output.h"

namespace lsp {

namespace {

using Json = text::Json;

// JSON-RPC's and the protocol's error codes.
constexpr int kParseError = -32700;
constexpr int kInvalidRequest = -32600;
constexpr int kMethodNotFound = -32601;
constexpr int kInvalidParams = -32602;
constexpr int kInternalError = -32603;
constexpr int kServerNotInitialized = -32002;
constexpr int kRequestFailed = -32803;
constexpr int kRequestCancelled = -32800;

// A request answered with an error.
struct Refusal {
  int code;
  std::string message;
};

// The protocol's kinds of symbols and diagnostics.
constexpr int kSymbolClass = 5, kSymbolMethod = 6, kSymbolEnum = 10, kSymbolInterface = 11, kSymbolConstructor = 9;
constexpr int kSeverityError = 1, kSeverityWarning = 2;

// The path a file URI names ("file:///a/b%20c.java" is "/a/b c.java");
// another URI is kept as it is, for messages.
std::string pathOfUri(const std::string& uri) {
  constexpr std::string_view scheme = "file://";
  if (uri.rfind(scheme, 0) != 0) return uri;
  std::string path;
  for (size_t i = scheme.size(); i < uri.size(); ++i) {
    unsigned value = 0;
    if (uri[i] == '%' && i + 2 < uri.size() &&
        std::from_chars(uri.data() + i + 1, uri.data() + i + 3, value, 16).ptr == uri.data() + i + 3) {
      path += static_cast<char>(value);
      i += 2;
    } else {
      path += uri[i];
    }
  }
  return path;
}

const std::string& uriOf(const Json& params) {
  const Json& document = params.at("textDocument");
  if (!document.at("uri").is_string()) throw Refusal{kInvalidParams, "textDocument.uri is not a string"};
  return document.at("uri").get_ref<const std::string&>();
}

std::optional<int64_t> wholeNumber(const Json& value) {
  if (value.is_number_integer()) return value.get<int64_t>();
  if (value.is_number_float() && value.get<double>() == static_cast<double>(static_cast<int64_t>(value.get<double>())))
    return static_cast<int64_t>(value.get<double>());
  return std::nullopt;
}

// "CC 5 · cognitive 5 · NLOC 20"
std::string measuresTitle(const findings::Place& place) {
  const findings::MeasureValues& values = place.measures;
  return "CC " + std::to_string(values.cyclomatic.value_or(0)) + " \xC2\xB7 cognitive " +
         std::to_string(values.cognitive.value_or(0)) + " \xC2\xB7 NLOC " + std::to_string(values.nloc.value_or(0));
}

// The byte offset in a line of a column counted in characters (1-based).
size_t byteOfColumn(std::string_view line, int32_t column) {
  size_t at = 0;
  for (int32_t c = 1; c < column && at < line.size(); ++c) {
    ++at;
    while (at < line.size() && (static_cast<unsigned char>(line[at]) & 0xC0) == 0x80) ++at;
  }
  return at;
}

bool isNameByte(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$'; }

// Where a word stands in a line as a whole word, from a byte offset on,
// else anywhere; npos when nowhere.
size_t wordIn(std::string_view line, std::string_view word, size_t from = 0) {
  if (word.empty()) return std::string_view::npos;
  for (size_t start : {from, size_t{0}}) {
    for (size_t at = line.find(word, start); at != std::string_view::npos; at = line.find(word, at + 1)) {
      const bool before = at > 0 && isNameByte(line[at - 1]) && isNameByte(word.front());
      const bool after = at + word.size() < line.size() && isNameByte(line[at + word.size()]) && isNameByte(word.back());
      if (!before && !after) return at;
    }
  }
  return std::string_view::npos;
}

// A member's text, or "" when the value is no object or the member no string.
std::string textOf(const Json& value, const char* member) {
  if (!value.is_object()) return {};
  const auto found = value.find(member);
  return found != value.end() && found->is_string() ? found->get<std::string>() : std::string();
}

}  // namespace

Settings settingsFromOptions(const Json& options, Settings settings, std::vector<std::string>& problems) {
  if (!options.is_object()) return settings;
  const auto threshold = [&](const char* name, std::optional<int64_t>& into) {
    const auto found = options.find(name);
    if (found == options.end() || found->is_null()) return;
    const std::optional<int64_t> value = wholeNumber(*found);
    if (value && *value >= 0) into = value;
    else problems.push_back(std::string(name) + " is not a whole number of 0 or more: " + found->dump());
  };
  threshold("maxCc", settings.thresholds.cyclomatic);
  threshold("maxCognitive", settings.thresholds.cognitive);
  threshold("maxNloc", settings.thresholds.nloc);
  if (const auto java = options.find("java"); java != options.end() && !java->is_null()) {
    std::optional<int64_t> release = wholeNumber(*java);
    if (java->is_string()) {
      std::string text = java->get<std::string>();
      if (text.rfind("1.", 0) == 0) text.erase(0, 2);
      int64_t number = 0;
      const auto [end, failed] = std::from_chars(text.data(), text.data() + text.size(), number);
      if (failed == std::errc() && end == text.data() + text.size()) release = number;
    }
    if (release && *release >= 1 && *release <= java::kNewestLanguageLevel) settings.languageLevel = static_cast<int>(*release);
    else problems.push_back("java is not a Java release from 1 to " + std::to_string(java::kNewestLanguageLevel) + ": " + java->dump());
  }
  return settings;
}

Server::Server(std::FILE* in, std::FILE* out, std::FILE* log, std::string version)
    : in_(in), out_(out), log_(log), version_(std::move(version)) {}

void Server::readInput() {
  MessageReader reader(in_);
  for (;;) {
    std::optional<Frame> frame = reader.next();
    std::lock_guard<std::mutex> lock(queueLock_);
    if (!frame) {
      inputEnded_ = true;
      queued_.notify_one();
      return;
    }
    // A cancellation is noted as it arrives, before the request it
    // cancels is taken (the cheap look first: documents are large).
    if (frame->content.find("$/cancelRequest") != std::string::npos) {
      const Json message = Json::parse(frame->content, nullptr, false);
      if (textOf(message, "method") == "$/cancelRequest" && message.contains("params") &&
          message["params"].is_object() && message["params"].contains("id"))
        cancelled_.insert(message["params"]["id"].dump());
    }
    queue_.push_back(std::move(*frame));
    queued_.notify_one();
  }
}

int Server::run() {
  std::thread reader(&Server::readInput, this);
  // The reader blocks on the input, which may stay open after "exit":
  // the process ends with it held.
  reader.detach();
  for (;;) {
    Frame frame;
    {
      std::unique_lock<std::mutex> lock(queueLock_);
      queued_.wait(lock, [this] { return !queue_.empty() || inputEnded_; });
      if (queue_.empty()) {
        log("flowchart lsp: the input ended without \"exit\"; ending with status 1");
        return 1;
      }
      frame = std::move(queue_.front());
      queue_.pop_front();
    }
    if (!frame.headerProblem.empty()) {
      log("flowchart lsp: " + frame.headerProblem);
      sendError(nullptr, kParseError, frame.headerProblem);
      continue;
    }
    const Json message = Json::parse(frame.content, nullptr, false);
    if (message.is_discarded()) {
      sendError(nullptr, kParseError, "the message is not JSON");
      continue;
    }
    if (textOf(message, "method") == "exit") return shutDown_ ? 0 : 1;
    handle(message);
  }
}

void Server::handle(const Json& message) {
  const bool object = message.is_object();
  const Json id = object && message.contains("id") ? message["id"] : Json();
  const bool goodId = id.is_null() || id.is_string() || id.is_number_integer();
  if (!object || message.value("jsonrpc", Json()) != "2.0" || !goodId) {
    sendError(goodId ? id : Json(), kInvalidRequest, "not a JSON-RPC 2.0 request or notification");
    return;
  }
  if (!message.contains("method")) return;  // an answer to a request of ours: there are none
  if (!message["method"].is_string()) {
    sendError(id, kInvalidRequest, "the method is not a string");
    return;
  }
  const std::string method = message["method"].get<std::string>();
  const Json params = message.contains("params") ? message["params"] : Json::object();
  if (message.contains("id")) request(id, method, params);
  else notification(method, params);
}

void Server::request(const Json& id, const std::string& method, const Json& params) {
  {
    std::lock_guard<std::mutex> lock(queueLock_);
    if (cancelled_.erase(id.dump()) > 0) {
      sendError(id, kRequestCancelled, "cancelled");
      return;
    }
  }
  try {
    if (!initialized_ && method != "initialize") throw Refusal{kServerNotInitialized, "initialize first"};
    if (shutDown_) throw Refusal{kInvalidRequest, "the server is shut down: only exit is left"};
    std::string result;
    if (method == "flowchart/graph") result = flowchartGraph(document(params), params);
    else result = answer(method, params).dump(-1, ' ', false, Json::error_handler_t::replace);
    send("{\"jsonrpc\":\"2.0\",\"id\":" + id.dump() + ",\"result\":" + result + "}");
  } catch (const Refusal& refusal) {
    sendError(id, refusal.code, refusal.message);
  } catch (const Json::exception& error) {
    sendError(id, kInvalidParams, std::string("the parameters are not as ") + method + " takes them: " + error.what());
  } catch (const std::exception& error) {
    sendError(id, kInternalError, method + " failed: " + error.what());
  }
}

Json Server::answer(const std::string& method, const Json& params) {
  if (method == "initialize") return initialize(params);
  if (method == "shutdown") {
    shutDown_ = true;
    return nullptr;
  }
  if (method == "textDocument/documentSymbol") return documentSymbols(document(params));
  if (method == "textDocument/codeLens") return codeLenses(document(params), uriOf(params));
  if (method == "textDocument/hover") return hover(document(params), params);
  if (method == "flowchart/sequence") return sequenceDiagram(document(params), params);
  if (method == "workspace/executeCommand") return executeCommand(params);
  throw Refusal{kMethodNotFound, "no method " + method};
}

void Server::notification(const std::string& method, const Json& params) {
  if (!initialized_) return;  // notifications before initialize are dropped
  try {
    if (method == "textDocument/didOpen") didOpen(params);
    else if (method == "textDocument/didChange") didChange(params);
    else if (method == "textDocument/didClose") didClose(params);
    // initialized, $/cancelRequest (noted as it was read), $/setTrace and
    // the others need nothing.
  } catch (const Refusal& refusal) {
    log("flowchart lsp: " + method + ": " + refusal.message);
  } catch (const Json::exception& error) {
    log("flowchart lsp: " + method + ": the parameters are not as it takes them: " + error.what());
  } catch (const std::exception& error) {
    log("flowchart lsp: " + method + " failed: " + error.what());
  }
}

Json Server::initialize(const Json& params) {
  initialized_ = true;
  const Json capabilities = params.value("capabilities", Json::object());
  if (capabilities.contains("general") && capabilities["general"].contains("positionEncodings")) {
    for (const Json& offered : capabilities["general"]["positionEncodings"])
      if (offered == "utf-8") encoding_ = PositionEncoding::Utf8;
  }
  std::vector<std::string> problems;
  settings_ = settingsFromOptions(params.value("initializationOptions", Json::object()), settings_, problems);
  for (const std::string& problem : problems) log("flowchart lsp: initializationOptions: " + problem);
  return {
      {"capabilities",
       {{"positionEncoding", encoding_ == PositionEncoding::Utf8 ? "utf-8" : "utf-16"},
        {"textDocumentSync", {{"openClose", true}, {"change", 2}}},
        {"documentSymbolProvider", true},
        {"codeLensProvider", {{"resolveProvider", false}}},
        {"hoverProvider", true},
        {"executeCommandProvider", {{"commands", {"flowchart.copyMermaid"}}}}}},
      {"serverInfo", {{"name", "flowchart"}, {"version", version_}}}};
}

Server::OpenDocument& Server::document(const Json& params) {
  const std::string& uri = uriOf(params);
  const auto found = documents_.find(uri);
  if (found == documents_.end()) throw Refusal{kInvalidParams, uri + " is not open"};
  bringUpToDate(uri, found->second);
  return found->second;
}

void Server::didOpen(const Json& params) {
  const Json& item = params.at("textDocument");
  const std::string uri = item.at("uri").get<std::string>();
  documents_.erase(uri);
  OpenDocument& document = documents_
                               .emplace(uri, OpenDocument{TextDocument(item.at("text").get<std::string>(),
                                                                       item.value("version", int64_t{0})),
                                                          pathOfUri(uri), true, JavaDocument()})
                               .first->second;
  if (!changeQueued(uri)) bringUpToDate(uri, document);
}

void Server::didChange(const Json& params) {
  const std::string& uri = uriOf(params);
  const auto found = documents_.find(uri);
  if (found == documents_.end()) throw Refusal{kInvalidParams, uri + " is not open"};
  OpenDocument& document = found->second;
  const int64_t version = params.at("textDocument").value("version", document.text.version() + 1);
  for (const Json& change : params.at("contentChanges")) {
    const std::string& text = change.at("text").get_ref<const std::string&>();
    if (!change.contains("range")) {
      document.text.replaceAll(text, version);
      continue;
    }
    const Json& range = change["range"];
    const auto position = [](const Json& at) {
      return Position{at.at("line").get<int64_t>(), at.at("character").get<int64_t>()};
    };
    document.text.replace({position(range.at("start")), position(range.at("end"))}, text, encoding_, version);
  }
  document.stale = true;
  // Of a burst of changes, the last is parsed.
  if (!changeQueued(uri)) bringUpToDate(uri, document);
}

void Server::didClose(const Json& params) {
  const std::string& uri = uriOf(params);
  if (documents_.erase(uri) == 0) return;
  send(Json{{"jsonrpc", "2.0"},
            {"method", "textDocument/publishDiagnostics"},
            {"params", {{"uri", uri}, {"diagnostics", Json::array()}}}}
           .dump());
}

bool Server::changeQueued(const std::string& uri) {
  std::lock_guard<std::mutex> lock(queueLock_);
  for (const Frame& frame : queue_) {
    // A cheap look first: most frames are of other documents.
    if (frame.content.find("didChange") == std::string::npos || frame.content.find(uri) == std::string::npos) continue;
    const Json message = Json::parse(frame.content, nullptr, false);
    if (textOf(message, "method") == "textDocument/didChange" && message.contains("params") &&
        message["params"].is_object() && message["params"].contains("textDocument") &&
        textOf(message["params"]["textDocument"], "uri") == uri)
      return true;
  }
  return false;
}

void Server::bringUpToDate(const std::string& uri, OpenDocument& document) {
  if (!document.stale) return;
  document.stale = false;
  document.java.update(document.path, document.text.text(), settings_.languageLevel == 0
                                                                 ? java::kNewestLanguageLevel
                                                                 : settings_.languageLevel);
  publishDiagnostics(uri, document);
}

Range Server::lineRange(const OpenDocument& document, int32_t firstLine, int32_t lastLine) const {
  return {{std::max(firstLine - 1, 0), 0}, document.text.lineEnd(std::max(lastLine - 1, 0), encoding_)};
}

Range Server::nameRange(const OpenDocument& document, const MethodEntry& method) const {
  const pipeline::MethodSummary& summary = document.java.source().summary().methods[method.index];
  const int64_t line = method.place.line - 1;
  const std::string_view text = document.text.lineText(line);
  const std::string name =
      summary.isInitializer() ? (summary.isStaticInitializer ? "static" : "{") : summary.name;
  size_t at = wordIn(text, name);
  if (at == std::string_view::npos) return lineRange(document, method.place.line, method.place.line);
  return {{line, unitsIn(text.substr(0, at), encoding_)}, {line, unitsIn(text.substr(0, at + name.size()), encoding_)}};
}

Json Server::rangeJson(const Range& range) const {
  return {{"start", {{"line", range.start.line}, {"character", range.start.character}}},
          {"end", {{"line", range.end.line}, {"character", range.end.character}}}};
}

void Server::publishDiagnostics(const std::string& uri, OpenDocument& document) {
  Json diagnostics = Json::array();
  if (const std::optional<errors::Problem>& problem = document.java.syntaxProblem()) {
    const int32_t line = std::max(problem->line, 1);
    diagnostics.push_back({{"range", rangeJson(lineRange(document, line, line))},
                           {"severity", kSeverityError},
                           {"source", "flowchart"},
                           {"message", text::validUtf8(problem->message)}});
  } else {
    for (const findings::Finding& finding : document.java.findingsUnder(settings_.thresholds)) {
      Json diagnostic{{"severity", kSeverityWarning},
                      {"code", findings::ruleText(finding.rule).id},
                      {"source", "flowchart"},
                      {"message", text::validUtf8(finding.message())}};
      if (finding.hidden) {
        const std::string_view line = document.text.lineText(finding.hidden->line - 1);
        const auto column = [&](int32_t at) {
          return Position{finding.hidden->line - 1, unitsIn(line.substr(0, byteOfColumn(line, at)), encoding_)};
        };
        diagnostic["range"] = rangeJson({column(finding.hidden->column), column(finding.hidden->endColumn)});
      } else {
        const auto method = std::find_if(document.java.methods().begin(), document.java.methods().end(),
                                         [&](const MethodEntry& entry) { return &entry.place == &finding.place ||
                                                                                (entry.place.line == finding.place.line &&
                                                                                 entry.place.signature == finding.place.signature); });
        diagnostic["range"] = rangeJson(method != document.java.methods().end()
                                            ? nameRange(document, *method)
                                            : lineRange(document, finding.place.line, finding.place.line));
        // The increments that make up cognitive complexity, where they are.
        if (finding.rule == findings::Rule::Cognitive && method != document.java.methods().end() && method->measures) {
          Json related = Json::array();
          for (const metrics::CognitiveIncrement& step : method->measures->cognitiveIncrements) {
            const std::string_view text = document.text.lineText(step.line - 1);
            const size_t at = wordIn(text, step.token, step.column > 0 ? static_cast<size_t>(step.column - 1) : 0);
            const Range range = at == std::string_view::npos
                                    ? lineRange(document, step.line, step.line)
                                    : Range{{step.line - 1, unitsIn(text.substr(0, at), encoding_)},
                                            {step.line - 1, unitsIn(text.substr(0, at + step.token.size()), encoding_)}};
            related.push_back({{"location", {{"uri", uri}, {"range", rangeJson(range)}}}, {"message", step.text()}});
          }
          diagnostic["relatedInformation"] = std::move(related);
        }
      }
      diagnostics.push_back(std::move(diagnostic));
    }
  }
  send(Json{{"jsonrpc", "2.0"},
            {"method", "textDocument/publishDiagnostics"},
            {"params", {{"uri", uri}, {"version", document.text.version()}, {"diagnostics", std::move(diagnostics)}}}}
           .dump(-1, ' ', false, Json::error_handler_t::replace));
}

Json Server::documentSymbols(OpenDocument& document) {
  if (!document.java.parsed()) return Json::array();
  const pipeline::FileSummary& summary = document.java.source().summary();
  const text::Charset charset = document.java.source().charset();
  // Classes and methods nested by their lines: each in the innermost
  // class (or method, for a class declared in one) holding it.
  struct Item {
    int32_t line, endLine;
    Json symbol;
  };
  std::vector<Item> items;
  for (const pipeline::ClassSummary& type : summary.classes) {
    const int kind = type.type == "IFC" ? kSymbolInterface : type.type == "ENM" ? kSymbolEnum : kSymbolClass;
    const std::string name = text::utf8Text(type.name, charset);
    Range selection = lineRange(document, type.line, type.line);
    const std::string_view text = document.text.lineText(type.line - 1);
    if (const size_t at = wordIn(text, type.name); at != std::string_view::npos)
      selection = {{type.line - 1, unitsIn(text.substr(0, at), encoding_)},
                   {type.line - 1, unitsIn(text.substr(0, at + type.name.size()), encoding_)}};
    items.push_back({type.line, type.endLine,
                     {{"name", name.empty() ? type.kind() : name},
                      {"detail", type.kind()},
                      {"kind", kind},
                      {"range", rangeJson(lineRange(document, type.line, type.endLine))},
                      {"selectionRange", rangeJson(selection)},
                      {"children", Json::array()}}});
  }
  for (const MethodEntry& method : document.java.methods()) {
    const pipeline::MethodSummary& entry = summary.methods[method.index];
    const bool constructor = method.measures && method.measures->kind == metrics::MethodMeasures::Kind::Constructor;
    const std::string label = method.place.signature;
    const size_t dot = label.rfind('.', label.find('('));
    items.push_back({entry.line, entry.endLine,
                     {{"name", dot == std::string::npos ? label : label.substr(dot + 1)},
                      {"detail", method.measures ? measuresTitle(method.place) : "no body"},
                      {"kind", constructor ? kSymbolConstructor : kSymbolMethod},
                      {"range", rangeJson(lineRange(document, entry.line, entry.endLine))},
                      {"selectionRange", rangeJson(nameRange(document, method))},
                      {"children", Json::array()}}});
  }
  std::stable_sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
    return a.line != b.line ? a.line < b.line : a.endLine > b.endLine;
  });
  // A stack of the items open at each point, outermost first.
  Json roots = Json::array();
  std::vector<std::pair<int32_t, Json*>> open;
  const auto close = [&](int32_t line) {
    while (!open.empty() && open.back().first < line) open.pop_back();
  };
  for (Item& item : items) {
    close(item.line);
    Json& into = open.empty() ? roots : (*open.back().second)["children"];
    into.push_back(std::move(item.symbol));
    open.emplace_back(item.endLine, &into.back());
  }
  return roots;
}

Json Server::codeLenses(OpenDocument& document, const std::string& uri) {
  Json lenses = Json::array();
  if (!document.java.parsed()) return lenses;
  const pipeline::FileSummary& summary = document.java.source().summary();
  for (const MethodEntry& method : document.java.methods()) {
    if (!method.measures) continue;
    const int32_t line = summary.methods[method.index].line - 1;
    const Json range = rangeJson({{line, 0}, {line, 0}});
    const Json arguments = {uri, line};
    lenses.push_back({{"range", range},
                      {"command",
                       {{"title", measuresTitle(method.place)}, {"command", "flowchart.showFlowchart"}, {"arguments", arguments}}}});
    lenses.push_back({{"range", range},
                      {"command", {{"title", "sequence diagram"}, {"command", "flowchart.showSequence"}, {"arguments", arguments}}}});
  }
  return lenses;
}

Json Server::hover(OpenDocument& document, const Json& params) {
  if (!document.java.parsed()) return nullptr;
  const Position at{params.at("position").at("line").get<int64_t>(), params.at("position").at("character").get<int64_t>()};
  for (const MethodEntry& method : document.java.methods()) {
    const Range name = nameRange(document, method);
    if (at.line != name.start.line || at.character < name.start.character || at.character > name.end.character) continue;
    const findings::Place& place = method.place;
    std::string text = "**" + place.signature + "**\n\n";
    if (!method.measures) {
      text += "no body (abstract, interface or native)";
    } else {
      text += "cyclomatic complexity " + std::to_string(*place.measures.cyclomatic) + " \xC2\xB7 cognitive complexity " +
              std::to_string(*place.measures.cognitive) + " \xC2\xB7 NLOC " + std::to_string(place.measures.nloc.value_or(0)) +
              " \xC2\xB7 Halstead volume " +
              std::to_string(static_cast<int64_t>(method.measures->halstead.volume() + 0.5));
    }
    return {{"contents", {{"kind", "markdown"}, {"value", text::validUtf8(text)}}}, {"range", rangeJson(name)}};
  }
  return nullptr;
}

const MethodEntry& Server::methodAtPosition(OpenDocument& document, const Json& params) {
  if (!document.java.parsed())
    throw Refusal{kRequestFailed, document.java.syntaxProblem() ? document.java.syntaxProblem()->message
                                                                : std::string("the document has not been parsed")};
  const int64_t line = params.at("position").at("line").get<int64_t>();
  const MethodEntry* method = document.java.methodAt(static_cast<int32_t>(std::clamp<int64_t>(line + 1, 0, INT32_MAX)));
  if (!method) throw Refusal{kRequestFailed, "no method at line " + std::to_string(line + 1)};
  if (!method->measures)
    throw Refusal{kRequestFailed, method->place.method + " has no body (abstract, interface or native): nothing to draw"};
  return *method;
}

namespace {

// The theme a request asks for: "light", "dark", or none (the viewer's).
std::string themeOf(const Json& params) {
  const std::string theme = params.value("theme", "");
  if (!theme.empty() && theme != "light" && theme != "dark")
    throw Refusal{kInvalidParams, "theme is \"light\" or \"dark\", not \"" + theme + "\""};
  return theme;
}

}  // namespace

std::string Server::flowchartGraph(OpenDocument& document, const Json& params) {
  const std::string theme = themeOf(params);
  const MethodEntry& method = methodAtPosition(document, params);
  pipeline::ParsedSource& source = document.java.source();
  const pipeline::MethodSummary& summary = source.summary().methods[method.index];
  pipeline::SequenceSources classes(source, "");
  const errors::Result<cfg::MethodFlow> flow = pipeline::methodFlow(source, summary, &classes);
  if (!flow) throw Refusal{kRequestFailed, flow.problem().message};
  errors::Result<pipeline::MethodFlowchart> chart =
      pipeline::drawMethodFlowchart(source, summary, flowdraw::Fold::Auto, &classes);
  if (!chart) throw Refusal{kRequestFailed, chart.problem().message};
  Json pages = Json::array();
  for (const auto& page : chart->drawing->pages) pages.push_back(text::validUtf8(page->name));
  Json result{{"method", method.place.signature},
              {"range", rangeJson(lineRange(document, summary.line, summary.endLine))},
              {"pages", std::move(pages)},
              {"svg", text::validUtf8(drawing::drawingSvg(*chart->drawing, theme))}};
  std::string text = result.dump(-1, ' ', false, Json::error_handler_t::replace);
  // The graph as draw -o .json writes it, put in as it is written.
  text.pop_back();
  return text + ",\"graph\":" + cfg::methodFlowJson(*flow, source.charset() == text::Charset::Latin1) + "}";
}

Json Server::sequenceDiagram(OpenDocument& document, const Json& params) {
  const std::string theme = themeOf(params);
  const MethodEntry& method = methodAtPosition(document, params);
  pipeline::ParsedSource& source = document.java.source();
  const pipeline::MethodSummary& summary = source.summary().methods[method.index];
  pipeline::SequenceSources sources(source, "");
  pipeline::SequenceOptions options;
  options.screens = 3.0;
  errors::Result<pipeline::MethodSequence> sequence = pipeline::drawMethodSequence(sources, summary, options);
  if (!sequence) throw Refusal{kRequestFailed, sequence.problem().message};
  const bool latin1 = source.charset() == text::Charset::Latin1;
  Json pages = Json::array();
  for (const auto& page : sequence->drawing->pages) pages.push_back(text::validUtf8(page->name));
  return {{"method", method.place.signature},
          {"range", rangeJson(lineRange(document, summary.line, summary.endLine))},
          {"pages", std::move(pages)},
          {"svg", text::validUtf8(drawing::drawingSvg(*sequence->drawing, theme))},
          {"mermaid", text::validUtf8(mermaid::sequenceText(sequence->diagram, latin1))}};
}

Json Server::executeCommand(const Json& params) {
  const std::string command = params.at("command").get<std::string>();
  if (command != "flowchart.copyMermaid") throw Refusal{kInvalidParams, "no command " + command};
  const Json& arguments = params.at("arguments");
  if (!arguments.is_array() || arguments.size() < 2 || !arguments[0].is_string() || !arguments[1].is_number_integer())
    throw Refusal{kInvalidParams, "flowchart.copyMermaid takes [uri, line]"};
  const Json where{{"textDocument", {{"uri", arguments[0]}}}, {"position", {{"line", arguments[1]}, {"character", 0}}}};
  OpenDocument& open = document(where);
  const MethodEntry& method = methodAtPosition(open, where);
  pipeline::ParsedSource& source = open.java.source();
  pipeline::SequenceSources classes(source, "");
  const errors::Result<cfg::MethodFlow> flow = pipeline::methodFlow(source, source.summary().methods[method.index], &classes);
  if (!flow) throw Refusal{kRequestFailed, flow.problem().message};
  return text::validUtf8(mermaid::flowchartText(*flow, nullptr, source.charset() == text::Charset::Latin1));
}

void Server::send(const std::string& content) {
  const std::string frame = framed(content);
  std::fwrite(frame.data(), 1, frame.size(), out_);
  std::fflush(out_);
}

void Server::sendError(const Json& id, int code, const std::string& message) {
  send(Json{{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}}}}.dump(
      -1, ' ', false, Json::error_handler_t::replace));
}

void Server::log(const std::string& message) {
  std::fprintf(log_, "%s\n", message.c_str());
  std::fflush(log_);
}

}  // namespace lsp
