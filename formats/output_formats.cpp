#include "formats/output_formats.h"

#include <vector>

namespace formats {

namespace {

// "a, b or c".
std::string listed(const std::vector<std::string>& items, std::string_view last) {
  std::string list;
  for (size_t k = 0; k < items.size(); ++k)
    list += (k == 0 ? "" : k + 1 == items.size() ? std::string(last) : std::string(", ")) + items[k];
  return list;
}

}  // namespace

std::span<const Format> table() {
  static constexpr Format kFormats[] = {
      {".html", kFlowchart | kSequence, Writer::Html, "", "the default", "the default", ""},
      {".htm", kFlowchart | kSequence, Writer::Html, "", "", "", ""},
      {".svg", kFlowchart | kSequence, Writer::Svg, "", "", "", ""},
      {".xml", kFlowchart | kSequence, Writer::DrawingXml, "", "the drawing format", "", ""},
      {".dot", kFlowchart | kSequence, Writer::Dot, "", "the pages' graphs before layout", "", ""},
      {".json", kFlowchart, Writer::FlowJson, "", "the control-flow graph, unfolded, for tools", "", ""},
      {".md", kFlowchart | kSequence | kSiteForm, Writer::Markdown, "Markdown (Mermaid)",
       "Markdown with Mermaid blocks; with no METHOD, every method of the file", "Markdown holding it",
       "Markdown with Mermaid"},
      {".mmd", kFlowchart | kSequence | kSiteForm, Writer::Mermaid, "Mermaid", "the graph as a Mermaid flowchart",
       "a Mermaid sequenceDiagram", "Mermaid"},
      {".puml", kFlowchart | kSequence | kSiteForm, Writer::PlantUml, "PlantUML", "a PlantUML activity diagram",
       "PlantUML", "PlantUML"},
      {".png", kFlowchart | kSequence | kSiteForm, Writer::Png, "PNG", "", "", ""},
      {".pdf", kFlowchart | kSequence | kSiteForm, Writer::Pdf, "PDF", "", "", ""},
      {".json", kDiffReport, Writer::DiffJson, "", "", "", ""},
      {".md", kDiffReport, Writer::DiffMarkdown, "", "", "", ""},
  };
  return kFormats;
}

std::string extensionOf(std::string_view path) {
  const size_t slash = path.find_last_of("/\\");
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return {};
  std::string extension(name.substr(dot));
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension;
}

const Format* formatOf(std::string_view path, Serves serving) {
  const std::string extension = extensionOf(path);
  for (const Format& format : table())
    if ((format.serves & serving) && format.extension == extension) return &format;
  return nullptr;
}

const Format* siteForm(std::string_view name) {
  for (const Format& format : table())
    if ((format.serves & kSiteForm) && format.extension.substr(1) == name) return &format;
  return nullptr;
}

std::string siteFormNames() {
  std::vector<std::string> names{"html"};
  for (const Format& format : table())
    if (format.serves & kSiteForm) names.emplace_back(format.extension.substr(1));
  return listed(names, " and ");
}

std::string helpList(Serves serving) {
  std::vector<std::string> items;
  for (const Format& format : table()) {
    if (!(format.serves & serving)) continue;
    const std::string_view words = serving == kSequence ? format.sequenceHelp : format.flowchartHelp;
    items.push_back(std::string(format.extension) + (words.empty() ? "" : " (" + std::string(words) + ")"));
  }
  return listed(items, " or ");
}

std::string siteFormList(std::string_view separator) {
  std::string list = "html";
  for (const Format& format : table())
    if (format.serves & kSiteForm) list += std::string(separator) + std::string(format.extension.substr(1));
  return list;
}

std::string siteFormHelp() {
  std::vector<std::string> items;
  for (const Format& format : table()) {
    if (!(format.serves & kSiteForm)) continue;
    const std::string name(format.extension.substr(1));
    items.push_back(format.siteHelp.empty() ? name : name + ": " + std::string(format.siteHelp));
  }
  return listed(items, ", ");
}

std::optional<std::string> refusal(std::string_view command, const std::string& output, Serves serving) {
  if (formatOf(output, serving)) return std::nullopt;
  std::vector<std::string> extensions;
  for (const Format& format : table())
    if (format.serves & serving) extensions.emplace_back(format.extension);
  const std::string list = listed(extensions, " or ");
  const std::string extension = extensionOf(output);
  return std::string(command) + ": cannot write '" + output + "': " +
         (extension.empty() ? std::string("the name has no extension") : "no format has the extension " + extension) +
         "; name the output " + list;
}

}  // namespace formats
