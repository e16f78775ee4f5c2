#include "xml_install.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace {

class FakePlatform : public engine::InstallPlatform {
 public:
  bool componentWorks = false;
  std::optional<std::string> folder = std::string("C:/Windows/system32");
  std::map<std::string, std::string> files;  // path -> origin
  std::vector<std::string> started;

  bool xmlComponentWorks() override { return componentWorks; }
  std::optional<std::string> systemFolder() override { return folder; }
  bool copyFileIfAbsent(const std::string& from, const std::string& to) override {
    if (files.count(to)) return false;
    files[to] = from;
    return true;
  }
  void startHidden(const std::string& program, const std::string& parameters) override {
    started.push_back(program + " " + parameters);
  }
};

int run(engine::InstallPlatform& platform, std::vector<std::string> args) {
  std::vector<char*> argv{const_cast<char*>("engine")};
  for (std::string& arg : args) argv.push_back(arg.data());
  return engine::installXmlComponent(static_cast<int>(argv.size()), argv.data(), platform);
}

}  // namespace

TEST(XmlInstall, WorkingComponentAnswersOneForAnyArgc) {
  FakePlatform platform;
  platform.componentWorks = true;
  EXPECT_EQ(run(platform, {"15"}), 1);
  EXPECT_EQ(run(platform, {"15", "a", "b", "c", "d"}), 1);
  EXPECT_TRUE(platform.files.empty());
  EXPECT_TRUE(platform.started.empty());
  EXPECT_EQ(run(engine::systemInstallPlatform(), {"15"}), 1);
}

TEST(XmlInstall, CopiesWithoutOverwritingAndStartsRegistration) {
  FakePlatform platform;
  platform.files["C:/Windows/system32/msxml4.dll"] = "old";
  EXPECT_EQ(run(platform, {"15", "D:/setup/msxml4.dll", "D:/setup/msxml4r.dll"}), 0);
  EXPECT_EQ(platform.files["C:/Windows/system32/msxml4.dll"], "old");
  EXPECT_EQ(platform.files["C:/Windows/system32/msxml4r.dll"], "D:/setup/msxml4r.dll");
  EXPECT_EQ(platform.started,
            std::vector<std::string>{"regsvr32.exe /s \"C:/Windows/system32/msxml4.dll\""});
}

TEST(XmlInstall, WrongArgcOrNoSystemFolderInstallsNothing) {
  FakePlatform platform;
  EXPECT_EQ(run(platform, {"15", "only-one"}), 0);
  platform.folder.reset();
  EXPECT_EQ(run(platform, {"15", "a", "b"}), 0);
  EXPECT_TRUE(platform.files.empty());
  EXPECT_TRUE(platform.started.empty());
}

TEST(XmlInstall, PathsBeyondThePlatformLimitAreNotCopied) {
  FakePlatform platform;
  EXPECT_EQ(run(platform, {"15", std::string(300, 'a'), "short.dll"}), 0);
  EXPECT_EQ(platform.files.size(), 1u);
  EXPECT_EQ(platform.started.size(), 1u);
}
