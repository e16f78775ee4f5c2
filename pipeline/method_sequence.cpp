#include "pipeline/method_sequence.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "files/file_text.h"
#include "graphviz/graph_layout.h"
#include "pipeline/drawing_templates.h"
#include "drawing/text_layout.h"
#include "seqdraw/sequence_drawing.h"
#include "sequence/pages.h"

namespace pipeline {
namespace {

namespace fs = std::filesystem;

// The sequence template and its stencil, built into the program: read
// once, shared by every diagram a process draws.
const errors::Result<seqdraw::SequenceMasters>& sequenceMasters() {
  static const errors::Result<seqdraw::SequenceMasters> masters =
      seqdraw::sequenceMasters("sequence.template", kSequenceTemplate, kSequenceStencil);
  return masters;
}

// Full texts for hovering, where the drawing shows them shortened: each
// lifeline by its name, each message by its place among the connectors.
// The messages drawn as connectors, in order: all but the parts' places.
std::vector<size_t> drawnMessages(const sequence::Diagram& diagram) {
  std::vector<size_t> drawn;
  for (size_t k = 0; k < diagram.messages.size(); ++k)
    if (diagram.messages[k].kind != sequence::Message::Kind::Ref) drawn.push_back(k);
  return drawn;
}

void setComments(drawing::Page& page, const sequence::Diagram& diagram) {
  std::vector<drawing::Shape*> connectors;
  for (const auto& shape : page.shapes) {
    if (shape->isConnector()) {
      connectors.push_back(shape.get());
      continue;
    }
    for (size_t i = 0; i < diagram.lifelines.size(); ++i)
      if (shape->name == seqdraw::lifelineNodeName(i)) shape->comment = diagram.lifelines[i].label;
  }
  const std::vector<size_t> drawn = drawnMessages(diagram);
  if (connectors.size() != drawn.size()) return;
  for (size_t k = 0; k < connectors.size(); ++k) {
    const sequence::Message& message = diagram.messages[drawn[k]];
    connectors[k]->comment = "line " + std::to_string(message.line) + ": " + message.text;
  }
}

// What a screen reader says of each lifeline, message and fragment, and
// the keyboard's way through them: lifelines left to right, messages top
// to bottom.
void describeForReaders(drawing::Page& page, const sequence::Diagram& diagram, const std::string& title,
                        const std::vector<bool>& calleePages) {
  std::vector<drawing::Shape*> lifelines(diagram.lifelines.size(), nullptr), connectors;
  std::vector<drawing::Shape*> fragments;
  for (const auto& shape : page.shapes) {
    if (shape->isConnector()) connectors.push_back(shape.get());
    else if (shape->name.ends_with("/fragment")) fragments.push_back(shape.get());
    for (size_t i = 0; i < diagram.lifelines.size(); ++i)
      if (shape->name == seqdraw::lifelineNodeName(i)) lifelines[i] = shape.get();
  }
  // The connector of each message; none for the parts' places.
  const std::vector<size_t> drawn = drawnMessages(diagram);
  std::vector<drawing::Shape*> messages(diagram.messages.size(), nullptr);
  if (connectors.size() == drawn.size())
    for (size_t i = 0; i < drawn.size(); ++i) messages[drawn[i]] = connectors[i];
  auto lifelineName = [&](size_t i) { return i < diagram.lifelines.size() ? diagram.lifelines[i].label : std::string("?"); };
  for (size_t i = 0; i < lifelines.size(); ++i) {
    if (!lifelines[i]) continue;
    drawing::ShapeAccess access;
    size_t sent = 0, received = 0;
    for (const sequence::Message& message : diagram.messages) {
      sent += message.from == i;
      received += message.to == i && message.from != i;
    }
    access.label = "lifeline " + lifelineName(i) + ": sends " + std::to_string(sent) + ", receives " +
                   std::to_string(received) + (received == 1 ? " message" : " messages");
    for (size_t k = 0; k < diagram.messages.size(); ++k)
      if (messages[k] && (diagram.messages[k].from == i || diagram.messages[k].to == i)) {
        access.next.push_back(messages[k]->name);
        break;
      }
    if (i + 1 < lifelines.size() && lifelines[i + 1]) access.next.push_back(lifelines[i + 1]->name);
    lifelines[i]->access = std::move(access);
  }
  for (size_t k = 0; k < messages.size(); ++k) {
    if (!messages[k]) continue;
    const sequence::Message& message = diagram.messages[k];
    using Kind = sequence::Message::Kind;
    const char* kind = message.kind == Kind::Return   ? "return"
                       : message.kind == Kind::Create ? "creation"
                       : message.kind == Kind::SelfCall ? "call to itself"
                                                        : "call";
    drawing::ShapeAccess access;
    access.label = std::string(kind) + " from " + lifelineName(message.from) +
                   (message.kind == Kind::SelfCall ? "" : " to " + lifelineName(message.to)) + ": " + message.text;
    if (message.line > 0) access.label += ", line " + std::to_string(message.line);
    access.firstLine = access.lastLine = message.line;
    for (size_t next = k + 1; next < messages.size(); ++next)
      if (messages[next]) {
        access.next.push_back(messages[next]->name);
        break;
      }
    messages[k]->access = std::move(access);
  }
  for (drawing::Shape* fragment : fragments) {
    drawing::ShapeAccess access;
    access.label = "fragment " + fragment->text;
    // A ref frame's link says where it goes.
    for (const sequence::Fragment& ref : diagram.fragments)
      if (!fragment->hyperlinks.empty() && ref.op == "ref" && ref.page < calleePages.size() &&
          fragment->text == ref.text())
      {
        access.label += calleePages[ref.page] ? ": opens the diagram of the method it calls, " + ref.operands.front().guard
                                              : ": opens this part's diagram on a page of its own";
        break;
      }
    fragment->access = std::move(access);
  }
  page.description = title + ": " + std::to_string(diagram.lifelines.size()) + " lifelines, " +
                     std::to_string(diagram.messages.size()) + " messages, " +
                     std::to_string(diagram.fragments.size()) + " fragments.";
}

}  // namespace

SequenceSources::SequenceSources(ParsedSource& source, std::string sourceTree)
    : source_(source),
      sourceTree_(std::move(sourceTree)),
      java_{&source.syntax(), source.charset()},
      index_(source.charset(), [this](const std::string& name) { return load(name); }) {
  index_.add(java_);
  index_.setSubtypeLoader([this](const std::string& name) { return loadSubtypes(name); });
}

void SequenceSources::scan() {
  if (scanned_ || sourceTree_.empty()) return;
  scanned_ = true;
  std::error_code ec;
  fs::recursive_directory_iterator it(sourceTree_, fs::directory_options::skip_permission_denied, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    std::error_code kind;
    if (it->path().extension() != ".java" || !it->is_regular_file(kind)) continue;
    if (fs::equivalent(it->path(), source_.sourcePath(), kind)) continue;
    filesByStem_.emplace(it->path().stem().string(), it->path().generic_string());
    files_.push_back(it->path().generic_string());
  }
}

// Each file once: a file met again gives nothing new.
const sequence::JavaSource* SequenceSources::parseFile(const std::string& path) {
  if (parsed_.count(path)) return nullptr;
  parsed_[path] = nullptr;
  errors::Result<ParsedSource> parsed = ParsedSource::parse(path, source_.languageLevel());
  if (!parsed) {
    const errors::Problem& problem = parsed.problem();
    problems_.push_back(path + (problem.line > 0 ? ":" + std::to_string(problem.line) : "") + ": " +
                        problem.message + "; calls into it are not followed.");
    return nullptr;
  }
  loaded_.push_back(std::move(*parsed));
  loadedJava_.push_back(sequence::JavaSource{&loaded_.back().syntax(), loaded_.back().charset()});
  parsed_[path] = &loadedJava_.back();
  return &loadedJava_.back();
}

std::vector<const sequence::JavaSource*> SequenceSources::load(const std::string& simpleName) {
  std::vector<const sequence::JavaSource*> added;
  scan();
  const auto [first, last] = filesByStem_.equal_range(simpleName);
  for (auto file = first; file != last; ++file)
    if (const sequence::JavaSource* java = parseFile(file->second)) added.push_back(java);
  return added;
}

namespace {

bool isWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$'; }

// Whether a file's text names a type after "extends" or "implements",
// before the brace that opens a body: a cheap look before parsing it.
bool mayExtend(const std::string& text, const std::string& name) {
  for (size_t at = text.find(name); at != std::string::npos; at = text.find(name, at + 1)) {
    const bool whole = (at == 0 || !isWordChar(text[at - 1])) &&
                       (at + name.size() >= text.size() || !isWordChar(text[at + name.size()]));
    if (!whole) continue;
    // The nearest keyword before the name, with no body or statement between.
    const size_t from = at > 400 ? at - 400 : 0;
    const std::string before = text.substr(from, at - from);
    size_t nearest = before.rfind("extends");
    const size_t implementsAt = before.rfind("implements");
    if (implementsAt != std::string::npos && (nearest == std::string::npos || implementsAt > nearest))
      nearest = implementsAt;
    if (nearest != std::string::npos && before.find_first_of("{;", nearest) == std::string::npos) return true;
  }
  return false;
}

}  // namespace

std::vector<const sequence::JavaSource*> SequenceSources::loadSubtypes(const std::string& simpleName) {
  std::vector<const sequence::JavaSource*> added;
  scan();
  for (const std::string& path : files_) {
    if (parsed_.count(path)) continue;
    const std::optional<std::string> text = files::readFileText(path);
    if (!text || !mayExtend(*text, simpleName)) continue;
    if (const sequence::JavaSource* java = parseFile(path)) added.push_back(java);
  }
  return added;
}

namespace {

seqdraw::SequencePlan planPage(const sequence::Diagram& diagram, text::Charset encoding) {
  return seqdraw::planSequence(diagram, encoding, [encoding](std::string_view text, double fontSize) {
    return drawing::textWidth(text, fontSize, encoding);
  });
}

// About how many screens of 1400 by 1000 pixels a plan's drawing takes
// at the zoom a page opens at (its smallest text, the notes' 8 points, at
// 9 px): its area in screens, a side shorter than the screen's counting
// as a whole one, so that a narrow page is not let grow long.  The
// pixels a layout inch and a row take are as measured on drawn pages.
double screensFor(const seqdraw::SequencePlan& plan) {
  constexpr double kPixelsPerLayoutInch = 75.0;
  constexpr double kRowPixels = 28.5;
  constexpr double kZoom = 9.0 / 8.0;
  constexpr double kRankSeparation = 0.55;
  double width = 0.0;
  for (const seqdraw::PlannedLifeline& lifeline : plan.lifelines) width += std::max(lifeline.nodeWidth, 1.667);
  if (!plan.lifelines.empty()) width += (plan.lifelines.size() - 1) * kRankSeparation;
  const double across = (width * kPixelsPerLayoutInch + 60.0) * kZoom / 1400.0;
  const double down = (static_cast<double>(plan.lastRow) * kRowPixels + 120.0) * kZoom / 1000.0;
  return std::max(1.0, across) * std::max(1.0, down);
}

}  // namespace

errors::Result<MethodSequence> planMethodSequence(SequenceSources& sources, const MethodSummary& method,
                                                  const SequenceOptions& options) {
  // The declaration the flowchart of the method is drawn from; else the
  // method of that name at that line.
  const syntax::Node declaration = sources.source().declarationOf(method);
  const sequence::MethodInfo* info = declaration ? sources.index().methodDeclaredBy(declaration) : nullptr;
  if (!info) info = sources.index().methodAt(sources.javaSource(), method.name, method.line);
  if (!info) return errors::Problem(errors::Problem::Kind::Failed, "the parse tree has no method " + shownName(method) + " here", method.line);
  MethodSequence result;
  sequence::PageBudget budget{0, 0, nullptr};
  if (options.screens > 0) {
    const text::Charset encoding = sources.source().charset();
    const double screens = options.screens;
    budget.fits = [encoding, screens](const sequence::Diagram& diagram) {
      return screensFor(planPage(diagram, encoding)) <= screens;
    };
  }
  result.pages = sequence::buildDiagramPages(sources.index(), *info,
                                             {options.depth, options.maxMessages, options.followImplementations},
                                             budget);
  for (const std::string& note : sources.problems()) result.pages.front().diagram.notes.push_back(note);
  result.diagram = result.pages.front().diagram;
  result.plan = planPage(result.diagram, sources.source().charset());
  return result;
}

errors::Result<MethodSequence> drawMethodSequence(SequenceSources& sources, const MethodSummary& method,
                                                  const SequenceOptions& options) {
  errors::Result<MethodSequence> result = planMethodSequence(sources, method, options);
  if (!result) return result;
  const errors::Result<seqdraw::SequenceMasters>& masters = sequenceMasters();
  if (!masters) return errors::Problem(errors::Problem::Kind::Failed, masters.problem().message, method.line);
  // Each page named so that ref frames can link to it: the method's own
  // by the method, the others by their titles.
  std::vector<sequence::DiagramPage>& pages = result->pages;
  std::vector<std::string> names;
  std::vector<bool> calleePages(pages.size(), false);
  for (const sequence::DiagramPage& page : pages) {
    names.push_back(names.empty() ? sources.source().summary().displayName(method) + ": sequence diagram" : page.title);
    for (const sequence::Fragment& fragment : page.diagram.fragments)
      if (fragment.reference && fragment.page < calleePages.size()) calleePages[fragment.page] = true;
  }
  for (size_t p = 0; p < pages.size(); ++p) {
    seqdraw::SequencePlan plan = p == 0 ? result->plan : planPage(pages[p].diagram, sources.source().charset());
    for (seqdraw::PlannedFragment& fragment : plan.fragments)
      if (fragment.page < names.size()) fragment.link = names[fragment.page];
    const errors::Result<graphviz::Layout> layout = graphviz::layOutGraph(seqdraw::sequenceLayoutGraph(plan));
    if (!layout)
      return errors::Problem(errors::Problem::Kind::Failed, "Graphviz refused the layout: " + layout.problem().message, method.line);
    std::unique_ptr<drawing::Document> drawn = seqdraw::drawSequence(plan, *layout, *masters);
    if (p == 0) result->drawing = std::move(drawn);
    else result->drawing->pages.push_back(std::move(drawn->pages.front()));
    drawing::Page& page = *result->drawing->pages.back();
    const sequence::Diagram& diagram = pages[p].diagram;
    setComments(page, diagram);
    // The page says whose diagram it is, for the pictures' headings.
    page.name = names[p];
    describeForReaders(page, diagram, page.name, calleePages);
    if (!diagram.notes.empty()) {
      std::string text;
      for (const std::string& note : diagram.notes) text += (text.empty() ? "" : "\n") + note;
      seqdraw::addNote(page, *masters, text);
    }
  }
  drawing::ReaderAids& aids = result->drawing->readerAids.emplace();
  aids.firstLine = method.line;
  for (int32_t line = method.line; line > 0 && line <= method.endLine; ++line)
    aids.sourceLines.emplace_back(sources.source().lines().line(line));
  result->drawing->encoding = sources.source().charset();
  return result;
}

std::vector<std::shared_ptr<const drawing::Master>> sequenceDrawingMasters() {
  const errors::Result<seqdraw::SequenceMasters>& masters = sequenceMasters();
  if (!masters) return {};
  std::vector<std::shared_ptr<const drawing::Master>> all = masters->templateMasters;
  for (const auto& master : {masters->lifeline, masters->call, masters->selfCall, masters->reply, masters->activation,
                             masters->fragment, masters->operand, masters->note})
    if (master) all.push_back(master);
  return all;
}

std::string methodSequenceDot(const MethodSequence& sequence) { return seqdraw::sequenceDotText(sequence.plan); }

}  // namespace pipeline
