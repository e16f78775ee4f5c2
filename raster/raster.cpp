#include "raster/raster.h"

#include <dlfcn.h>

#include <system_error>
#include <vector>

#include "raster/plugin_api.h"

namespace raster {
namespace {

using errors::Problem;

void appendTo(void* closure, const char* data, size_t length) { static_cast<std::string*>(closure)->append(data, length); }

// The folders the plug-in is looked for in: the command's own, then
// ../lib/flowchart/ from it (an installed command in bin/).
std::vector<std::filesystem::path> pluginPlaces() {
  std::error_code error;
  const std::filesystem::path command = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error || command.empty()) return {};
  const std::filesystem::path folder = command.parent_path();
  return {folder / kPluginName, (folder / ".." / "lib" / "flowchart" / kPluginName).lexically_normal()};
}

errors::Result<std::string> painted(int made, std::string&& bytes, std::string&& why) {
  if (made) return std::move(bytes);
  return Problem(Problem::Kind::Failed, std::move(why));
}

}  // namespace

errors::Result<Painter> Painter::open(const std::filesystem::path& file) {
  // RTLD_NODELETE: the plug-in's libraries stay when the handle goes.
  void* library = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (!library) {
    const char* why = dlerror();
    return Problem(Problem::Kind::Resource,
                   "the raster plug-in " + file.string() + " cannot be opened: " + (why ? why : "unknown reason"));
  }
  using Entry = const flowchart_raster_table* (*)();
  const auto entry = reinterpret_cast<Entry>(dlsym(library, FLOWCHART_RASTER_ENTRY));
  const flowchart_raster_table* entries = entry ? entry() : nullptr;
  if (!entries || entries->version != FLOWCHART_RASTER_VERSION) {
    dlclose(library);
    return Problem(Problem::Kind::Resource,
                   file.string() + " is not a raster plug-in of this build (reinstall the command)");
  }
  return Painter(entries);
}

errors::Result<std::string> Painter::png(std::string_view svg, double scale) const {
  std::string bytes, why;
  const int made = entries_->png(svg.data(), svg.size(), scale, appendTo, &bytes, appendTo, &why);
  return painted(made, std::move(bytes), std::move(why));
}

errors::Result<std::string> Painter::pdf(std::string_view svg, std::string_view title) const {
  std::string bytes, why;
  const int made = entries_->pdf(svg.data(), svg.size(), title.data(), title.size(), appendTo, &bytes, appendTo, &why);
  return painted(made, std::move(bytes), std::move(why));
}

errors::Result<Painter> installedPainter() {
  static const errors::Result<Painter> installed = []() -> errors::Result<Painter> {
    const std::vector<std::filesystem::path> places = pluginPlaces();
    for (const std::filesystem::path& place : places) {
      std::error_code error;
      if (std::filesystem::exists(place, error)) return Painter::open(place);
    }
    std::string looked;
    for (const std::filesystem::path& place : places) looked += (looked.empty() ? "" : " and ") + place.string();
    return Problem(Problem::Kind::Resource, "PNG and PDF need the raster plug-in " + std::string(kPluginName) +
                                                ", which is not installed (looked for " +
                                                (looked.empty() ? "the command's own folder" : looked) + ")");
  }();
  return installed;
}

errors::Result<std::string> pngFromSvg(std::string_view svg, double scale) {
  const errors::Result<Painter> painter = installedPainter();
  if (!painter) return painter.problem();
  return painter->png(svg, scale);
}

errors::Result<std::string> pdfFromSvg(std::string_view svg, std::string_view title) {
  const errors::Result<Painter> painter = installedPainter();
  if (!painter) return painter.problem();
  return painter->pdf(svg, title);
}

}  // namespace raster
