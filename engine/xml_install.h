// Mode 15: install and register the XML component.  Here the component is
// linked into the engine, so the probe succeeds and nothing is installed;
// the installation steps still run against a platform seam so that they
// can be exercised with a fake.
#pragma once

#include <optional>
#include <string>

namespace engine {

class InstallPlatform {
 public:
  virtual ~InstallPlatform() = default;
  // Can a DOM document of the XML component be created?
  virtual bool xmlComponentWorks() = 0;
  // The system folder, or nullopt when the system has none.
  virtual std::optional<std::string> systemFolder() = 0;
  // Copies from to to unless to exists; false when nothing was copied.
  virtual bool copyFileIfAbsent(const std::string& from, const std::string& to) = 0;
  // Starts a program hidden, without waiting for it.
  virtual void startHidden(const std::string& program, const std::string& parameters) = 0;
};

// This system: the component is built in and there is no system folder.
InstallPlatform& systemInstallPlatform();

// The mode: 1 when the component works (whatever argc is), else 0 after
// the copy and registration steps (which need argc 4).
int installXmlComponent(int argc, char** argv, InstallPlatform& platform);

}  // namespace engine
