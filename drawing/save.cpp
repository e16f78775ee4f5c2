#include "drawing/save.h"

#include <cctype>

#include "files/atomic_file.h"
#include "drawing/drawing_svg.h"
#include "drawing/drawing_xml.h"

namespace drawing {

DrawingFormat formatForPath(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t dot = name.rfind('.');
  std::string extension = dot == std::string::npos ? std::string() : name.substr(dot + 1);
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (extension == "svg") return DrawingFormat::Svg;
  if (extension == "html" || extension == "htm") return DrawingFormat::Html;
  return DrawingFormat::Xml;
}

errors::Status saveDrawing(const Document& drawing, const std::string& path, const XmlExtras* extras) {
  switch (formatForPath(path)) {
    case DrawingFormat::Svg: return files::writeAtomically(path, drawingSvg(drawing));
    case DrawingFormat::Html: return files::writeAtomically(path, drawingHtml(drawing));
    case DrawingFormat::Xml: break;
  }
  return files::writeAtomically(path, drawingXml(drawing, extras));
}

}  // namespace drawing
