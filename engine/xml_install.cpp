#include "xml_install.h"

#include <new>

#include "xml/document.h"

namespace engine {
namespace {

// The platform path limit of the registration buffers, terminator included.
constexpr size_t kPathBuffer = 260;

class SystemInstallPlatform : public InstallPlatform {
 public:
  bool xmlComponentWorks() override {
    try {
      xml::Document probe;
      return true;
    } catch (const std::bad_alloc&) {
      return false;
    }
  }
  std::optional<std::string> systemFolder() override { return std::nullopt; }
  bool copyFileIfAbsent(const std::string&, const std::string&) override { return false; }
  void startHidden(const std::string&, const std::string&) override {}
};

}  // namespace

InstallPlatform& systemInstallPlatform() {
  static SystemInstallPlatform platform;
  return platform;
}

int installXmlComponent(int argc, char** argv, InstallPlatform& platform) {
  if (platform.xmlComponentWorks()) return 1;
  if (argc != 4) return 0;
  const std::optional<std::string> folder = platform.systemFolder();
  if (!folder || folder->size() >= kPathBuffer) return 0;
  const std::string component = *folder + "/msxml4.dll";
  const std::string resources = *folder + "/msxml4r.dll";
  const std::string sources[2] = {argv[2], argv[3]};
  const std::string targets[2] = {component, resources};
  for (int i = 0; i < 2; ++i) {
    // Longer paths do not fit the platform's buffers: that copy is skipped.
    if (sources[i].size() >= kPathBuffer || targets[i].size() >= kPathBuffer) continue;
    platform.copyFileIfAbsent(sources[i], targets[i]);
  }
  platform.startHidden("regsvr32.exe", "/s \"" + component + "\"");
  return 0;
}

}  // namespace engine
