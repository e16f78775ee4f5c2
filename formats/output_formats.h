// The forms the command writes, in one table: each output extension, the
// diagrams it serves (a method's flowchart, a sequence diagram, a form
// beside a batch site's page, a diff's report), the writer that makes it,
// and the words the help and the messages use for it.  draw, sequence,
// batch --format, diff -o, the site's links and every message refusing an
// extension read it.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace formats {

enum class Writer {
  Html,          // the drawing as an HTML page
  Svg,           // the drawing as SVG
  DrawingXml,    // the drawing's own XML
  Dot,           // the pages' graphs before layout
  FlowJson,      // the control-flow graph for tools
  Mermaid,       // Mermaid text
  Markdown,      // Markdown with Mermaid blocks
  PlantUml,      // PlantUML text
  Png,           // a PNG picture of the SVG
  Pdf,           // a PDF of the SVG
  DiffJson,      // a diff's changes node by node
  DiffMarkdown,  // a diff's pull-request comment
};

// What a form serves, as a set.
enum Serves : unsigned {
  kFlowchart = 1u << 0,  // draw -o
  kSequence = 1u << 1,   // sequence -o
  kSiteForm = 1u << 2,   // batch --format, beside each method's page
  kDiffReport = 1u << 3, // diff -o
};

struct Format {
  std::string_view extension;  // ".html", lowercase with its dot
  unsigned serves = 0;         // of Serves
  Writer writer = Writer::Html;
  std::string_view label;      // how a page links the form ("Markdown (Mermaid)"); empty if none
  // What the help says of the form after its extension, as draw -o,
  // sequence -o and batch --format use it ("the drawing format"); empty
  // for nothing.
  std::string_view flowchartHelp;
  std::string_view sequenceHelp;
  std::string_view siteHelp;
};

// Every form, in the order the messages list them.
std::span<const Format> table();

// The path's extension, lowercase with its dot; empty for none.
std::string extensionOf(std::string_view path);

// The form of the path's extension among those that serve what is asked;
// nullptr when there is none.
const Format* formatOf(std::string_view path, Serves serving);

// The form batch --format names ("md", "png"); nullptr for a name no
// site form has.
const Format* siteForm(std::string_view name);

// "html, md, mmd, puml, png and pdf": the names batch --format takes.
std::string siteFormNames();

// The help's list of the extensions that serve draw -o or sequence -o,
// each with its words: ".html (the default), .htm, ... or .pdf".
std::string helpList(Serves serving);

// The help's list of batch's forms: "html,md,...,pdf" with
// separator ",", and "md: Markdown with Mermaid, ..., pdf" with the words
// of each.
std::string siteFormList(std::string_view separator);
std::string siteFormHelp();

// Why an output name is refused by command: "cannot write 'g.gif': no
// format has the extension .gif; name the output .html, .htm, ... or
// .pdf"; nullopt when its extension serves.
std::optional<std::string> refusal(std::string_view command, const std::string& output, Serves serving);

}  // namespace formats
