// flowchart lsp: a language server speaking JSON-RPC over a pair of
// streams, framed as the Language Server Protocol frames it.  It keeps
// the open documents in memory, parses a document when it changes (the
// last of a burst of changes) and draws only what is asked for.  It never
// writes a file and ends only on "exit" or at the end of its input.
#pragma once

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "lsp/java_document.h"
#include "lsp/message_stream.h"
#include "lsp/text_document.h"
#include "text/json_text.h"

namespace lsp {

// The settings given in initialize's initializationOptions ("maxCc",
// "maxCognitive", "maxNloc", "java"), over the ones given: numbers, or
// the release as text ("1.8"); anything else is left as it was, and said
// in the problems.
Settings settingsFromOptions(const text::Json& options, Settings settings, std::vector<std::string>& problems);

class Server {
 public:
  // Reads from in, answers on out, logs to log.
  Server(std::FILE* in, std::FILE* out, std::FILE* log, std::string version);
  // Serves until "exit" or the end of the input; the exit status: 0 after
  // "shutdown", else 1.
  int run();

 private:
  struct OpenDocument {
    TextDocument text;
    std::string path;   // the file the URI names, for messages
    bool stale = true;  // changed since it was last parsed
    JavaDocument java;
  };
  using Json = text::Json;

  void readInput();
  void handle(const Json& message);
  void request(const Json& id, const std::string& method, const Json& params);
  void notification(const std::string& method, const Json& params);
  // The answer to a request, null for "no result"; a refused request
  // throws what its JSON-RPC error says.
  Json answer(const std::string& method, const Json& params);

  Json initialize(const Json& params);
  void didOpen(const Json& params);
  void didChange(const Json& params);
  void didClose(const Json& params);
  Json documentSymbols(OpenDocument& document);
  Json codeLenses(OpenDocument& document, const std::string& uri);
  Json hover(OpenDocument& document, const Json& params);
  // The raw text of the result: the graph is put in as draw writes it.
  std::string flowchartGraph(OpenDocument& document, const Json& params);
  Json sequenceDiagram(OpenDocument& document, const Json& params);
  Json executeCommand(const Json& params);

  OpenDocument& document(const Json& params);
  // Parses the document when it changed since its last parse, and then
  // publishes its diagnostics.
  void bringUpToDate(const std::string& uri, OpenDocument& document);
  void publishDiagnostics(const std::string& uri, OpenDocument& document);
  const MethodEntry& methodAtPosition(OpenDocument& document, const Json& params);

  Range lineRange(const OpenDocument& document, int32_t firstLine, int32_t lastLine) const;
  Range nameRange(const OpenDocument& document, const MethodEntry& method) const;
  Json rangeJson(const Range& range) const;

  void send(const std::string& content);
  void sendError(const Json& id, int code, const std::string& message);
  void log(const std::string& message);
  // Whether a change of the document waits in the queue, to be applied
  // before it is parsed.
  bool changeQueued(const std::string& uri);

  std::FILE* in_;
  std::FILE* out_;
  std::FILE* log_;
  std::string version_;
  Settings settings_;
  PositionEncoding encoding_ = PositionEncoding::Utf16;
  bool initialized_ = false;
  bool shutDown_ = false;
  std::map<std::string, OpenDocument> documents_;

  // Frames read ahead by the reader thread, so that a cancellation or a
  // later change is seen before the work it makes useless.
  std::mutex queueLock_;
  std::condition_variable queued_;
  std::deque<Frame> queue_;
  bool inputEnded_ = false;
  std::set<std::string> cancelled_;  // ids, as JSON text
};

}  // namespace lsp
