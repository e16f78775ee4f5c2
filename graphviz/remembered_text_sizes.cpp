#include "graphviz/remembered_text_sizes.h"

#include <dlfcn.h>
#include <graphviz/gvc.h>
#include <graphviz/gvplugin.h>
#include <graphviz/gvplugin_textlayout.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_map>

namespace graphviz {
namespace {

using TextLayout = boolean (*)(textspan_t* span, char** fontpath);

// Pango's text layout, from Graphviz's own plug-in folder beside libgvc.
TextLayout findPangoTextLayout() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&gvContext), &info) == 0 || info.dli_fname == nullptr) return nullptr;
  const std::filesystem::path plugin =
      std::filesystem::path(info.dli_fname).parent_path() / "graphviz" / "libgvplugin_pango.so.6";
  void* handle = ::dlopen(plugin.c_str(), RTLD_LAZY | RTLD_LOCAL);
  if (handle == nullptr) return nullptr;
  const auto* library = static_cast<const gvplugin_library_t*>(::dlsym(handle, "gvplugin_pango_LTX_library"));
  if (library == nullptr) return nullptr;
  for (const gvplugin_api_t* api = library->apis; api->types != nullptr; ++api) {
    if (api->api != API_textlayout) continue;
    for (const gvplugin_installed_t* type = api->types; type->type != nullptr; ++type)
      if (std::string_view(type->type) == "textlayout" && type->engine != nullptr)
        return static_cast<const gvtextlayout_engine_t*>(type->engine)->textlayout;
  }
  return nullptr;
}

TextLayout pangoTextLayout = nullptr;

struct MeasuredText {
  boolean laidOut = FALSE;
  pointf size{};
  double yoffsetLayout = 0.0;
  double yoffsetCenterline = 0.0;
};

// A layout runs on one thread of a process, so the memory needs no lock.
// It is emptied when full, which a long-running server can reach.
std::unordered_map<std::string, MeasuredText>& measured() {
  static std::unordered_map<std::string, MeasuredText> texts;
  return texts;
}
constexpr size_t kMostRemembered = 4096;

// What Pango's answer depends on: the font's name, size and style flags,
// and the text.
std::string textKey(const textspan_t& span) {
  const textfont_t& font = *span.font;
  std::string key = font.name != nullptr ? font.name : "";
  key += '\0';
  key.append(reinterpret_cast<const char*>(&font.size), sizeof font.size);
  key += static_cast<char>(font.flags);
  key += span.str;
  return key;
}

boolean rememberedTextLayout(textspan_t* span, char** fontpath) {
  // Asked for the font's file (Graphviz's verbose mode): only Pango knows.
  if (fontpath != nullptr || span->str == nullptr || span->font == nullptr) return pangoTextLayout(span, fontpath);
  const std::string key = textKey(*span);
  auto& texts = measured();
  if (const auto found = texts.find(key); found != texts.end()) {
    const MeasuredText& text = found->second;
    span->size = text.size;
    span->yoffset_layout = text.yoffsetLayout;
    span->yoffset_centerline = text.yoffsetCenterline;
    span->layout = nullptr;  // only a Graphviz renderer would draw with it
    span->free_layout = nullptr;
    return text.laidOut;
  }
  const boolean laidOut = pangoTextLayout(span, fontpath);
  if (texts.size() >= kMostRemembered) texts.clear();
  texts.emplace(key, MeasuredText{laidOut, span->size, span->yoffset_layout, span->yoffset_centerline});
  return laidOut;
}

gvtextlayout_engine_t rememberingEngine = {rememberedTextLayout};

// Above Pango's quality (10), so Graphviz chooses it.
gvplugin_installed_t rememberingTypes[] = {{0, "textlayout", 100, &rememberingEngine, nullptr},
                                           {0, nullptr, 0, nullptr, nullptr}};
gvplugin_api_t rememberingApis[] = {{API_textlayout, rememberingTypes}, {static_cast<api_t>(0), nullptr}};
gvplugin_library_t rememberingLibrary = {const_cast<char*>("flowchart_text"), rememberingApis};
const lt_symlist_t rememberingPlugins[] = {{"gvplugin_flowchart_text_LTX_library", &rememberingLibrary},
                                           {nullptr, nullptr}};

}  // namespace

const lt_symlist_t* rememberedTextSizePlugins() {
  if (pangoTextLayout == nullptr) pangoTextLayout = findPangoTextLayout();
  return pangoTextLayout != nullptr ? rememberingPlugins : nullptr;
}

}  // namespace graphviz
