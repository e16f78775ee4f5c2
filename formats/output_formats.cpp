#include "formats/output_formats.h"

namespace formats {

std::span<const Format> table() {
  static constexpr Format kFormats[] = {
      {".html", kFlowchart | kSequence, Writer::Html, ""},
      {".htm", kFlowchart | kSequence, Writer::Html, ""},
      {".svg", kFlowchart | kSequence, Writer::Svg, ""},
      {".xml", kFlowchart | kSequence, Writer::DrawingXml, ""},
      {".dot", kFlowchart | kSequence, Writer::Dot, ""},
      {".json", kFlowchart, Writer::FlowJson, ""},
      {".md", kFlowchart | kSequence | kSiteForm, Writer::Markdown, "Markdown (Mermaid)"},
      {".mmd", kFlowchart | kSequence | kSiteForm, Writer::Mermaid, "Mermaid"},
      {".puml", kFlowchart | kSequence | kSiteForm, Writer::PlantUml, "PlantUML"},
      {".png", kFlowchart | kSequence | kSiteForm, Writer::Png, "PNG"},
      {".pdf", kFlowchart | kSequence | kSiteForm, Writer::Pdf, "PDF"},
      {".json", kDiffReport, Writer::DiffJson, ""},
      {".md", kDiffReport, Writer::DiffMarkdown, ""},
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
  std::string names = "html";
  std::string last;
  for (const Format& format : table()) {
    if (!(format.serves & kSiteForm)) continue;
    if (!last.empty()) names += ", " + last;
    last = std::string(format.extension.substr(1));
  }
  return names + " and " + last;
}

std::optional<std::string> refusal(std::string_view command, const std::string& output, Serves serving) {
  if (formatOf(output, serving)) return std::nullopt;
  std::string list;
  std::string last;
  for (const Format& format : table()) {
    if (!(format.serves & serving)) continue;
    if (!last.empty()) list += (list.empty() ? "" : ", ") + last;
    last = std::string(format.extension);
  }
  list += " or " + last;
  const std::string extension = extensionOf(output);
  return std::string(command) + ": cannot write '" + output + "': " +
         (extension.empty() ? std::string("the name has no extension") : "no format has the extension " + extension) +
         "; name the output " + list;
}

}  // namespace formats
