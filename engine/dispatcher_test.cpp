#include "dispatcher.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Records every call so that a test can check which arguments reached
// which parameter.
struct Recorder {
  std::vector<std::string> calls;

  engine::Operations operations() {
    engine::Operations ops;
    ops.parseJava = [this](const std::string& source, const std::string& tree,
                           const std::string& comments, const std::string& status,
                           const std::string& results, int enumSwitch, int level) {
      calls.push_back("java " + source + " " + tree + " " + comments + " " + status + " " +
                      results + " " + std::to_string(enumSwitch) + " " + std::to_string(level));
      return 5;
    };
    ops.loadTree = [this](const std::string& path) -> std::unique_ptr<xml::Document> {
      calls.push_back("load " + path);
      if (path.find("broken") != std::string::npos) return nullptr;
      return std::make_unique<xml::Document>();
    };
    ops.buildFlowchart = [this](const std::string& folder, xml::Document&, const std::string& cls,
                                int classLine, const std::string& method, int methodLine,
                                const std::string& source, xml::Document* comments) {
      calls.push_back("build " + folder + " " + cls + " " + std::to_string(classLine) + " " +
                      method + " " + std::to_string(methodLine) + " " + source + " " +
                      (comments ? "comments" : "no-comments"));
      return 6;
    };
    ops.drawFlowchart = [this](const std::string& layout, const std::string& work,
                               const std::string& folded, const std::string& templ,
                               const std::string& save) {
      calls.push_back("flowchart " + layout + " " + work + " " + folded + " " + templ + " " + save);
      return 100;
    };
    ops.drawSequence = [this](const std::string& layout, const std::string& work,
                              const std::string& save, const std::string& templ) {
      calls.push_back("sequence " + layout + " " + work + " " + save + " " + templ);
      return -1;
    };
    ops.pack = [this](const std::string& folder) {
      calls.push_back("pack " + folder);
      return 1;
    };
    ops.unpack = [this](const std::string& archive) {
      calls.push_back("unpack " + archive);
      return 1;
    };
    return ops;
  }
};

int run(const std::vector<std::string>& args, const engine::Operations& ops) {
  std::vector<std::string> storage = args;
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>("flowchart-engine"));
  for (std::string& arg : storage) argv.push_back(arg.data());
  argv.push_back(nullptr);
  return engine::dispatch(static_cast<int>(argv.size() - 1), argv.data(), ops);
}

std::vector<std::string> numbered(const std::string& mode, int count) {
  std::vector<std::string> args{mode};
  for (int i = 2; i < count; ++i) args.push_back("a" + std::to_string(i));
  return args;
}

}  // namespace

TEST(Dispatcher, EveryModePassesItsArgumentsInOrder) {
  Recorder rec;
  auto ops = rec.operations();
  EXPECT_EQ(run({"7", "src.java", "st.tmp", "cmt.xml", "status.xml", "results.xml", "1", "x"}, ops), 5);
  EXPECT_EQ(run({"8", "a2", "/work", "a4", "Cls", "12", "run", "34", "a9", "Src.java", "cmt.xml", "a12"}, ops), 6);
  EXPECT_EQ(run({"11", "/proj"}, ops), 1);
  EXPECT_EQ(run({"12", "/proj.zip"}, ops), 1);
  EXPECT_EQ(run({"17", "m.dot", "/work", "tmpl", "b1;b2", "out.vsd"}, ops), 100);
  EXPECT_EQ(run({"18", "s.dot", "/work", "out.vsd", "tmpl", "unused"}, ops), -1);
  EXPECT_EQ(rec.calls, (std::vector<std::string>{
                           "java src.java st.tmp cmt.xml status.xml results.xml 1 0",
                           "load /work/st.tmp",
                           "load cmt.xml",
                           "build /work Cls 12 run 34 Src.java comments",
                           "pack /proj",
                           "unpack /proj.zip",
                           "flowchart m.dot /work b1;b2 tmpl out.vsd",
                           "sequence s.dot /work out.vsd tmpl",
                       }));
}

TEST(Dispatcher, NumbersAreReadLikeAtoi) {
  Recorder rec;
  auto ops = rec.operations();
  EXPECT_EQ(run({"7abc", "s", "t", "c", "st", "r", " -3x", "8"}, ops), 5);
  EXPECT_EQ(run({"  8", "a2", "w", "a4", "C", "x", "m", "+7", "a9", "s", "c", "a12"}, ops), 6);
  EXPECT_EQ(rec.calls[0], "java s t c st r -3 8");
  EXPECT_EQ(rec.calls[3], "build w C 0 m 7 s comments");
}

TEST(Dispatcher, Mode8WithoutATreeBuildsNothing) {
  Recorder rec;
  auto ops = rec.operations();
  EXPECT_EQ(run({"8", "a2", "broken", "a4", "C", "1", "m", "2", "a9", "s", "c", "a12"}, ops), 0);
  EXPECT_EQ(run({"8", "a2", "w", "a4", "C", "1", "m", "2", "a9", "s", "broken-cmt", "a12"}, ops), 6);
  EXPECT_EQ(rec.calls.back(), "build w C 1 m 2 s no-comments");
}

TEST(Dispatcher, WrongCallsAnswerZeroAndCallNothing) {
  Recorder rec;
  auto ops = rec.operations();
  EXPECT_EQ(run({}, ops), 0);
  for (const char* mode : {"0", "9", "10", "19", "-7", "x", ""}) EXPECT_EQ(run({mode}, ops), 0);
  const std::pair<const char*, int> counts[] = {{"7", 9}, {"8", 13}, {"11", 3}, {"12", 3}, {"17", 7}, {"18", 7}};
  for (auto [mode, argc] : counts) {
    EXPECT_EQ(run(numbered(mode, argc - 1), ops), 0) << mode;
    EXPECT_EQ(run(numbered(mode, argc + 1), ops), 0) << mode;
  }
  EXPECT_TRUE(rec.calls.empty());
}

TEST(Dispatcher, ProbeAnswersOneWithAnyArguments) {
  engine::Operations none;
  EXPECT_EQ(run({"16"}, none), 1);
  EXPECT_EQ(run({"16", "a", "b", "c"}, none), 1);
  // Operations this build lacks answer 0.
  EXPECT_EQ(run(numbered("7", 9), none), 0);
  EXPECT_EQ(run(numbered("17", 7), none), 0);
}

TEST(Dispatcher, UnexpectedFailuresGiveTheModesFailureCode) {
  engine::Operations ops;
  ops.parseJava = [](auto&&...) -> int { throw std::runtime_error("boom"); };
  ops.drawFlowchart = [](auto&&...) -> int { throw xml::Error(xml::kPointer, "absent"); };
  EXPECT_EQ(run(numbered("7", 9), ops), 1);
  EXPECT_EQ(run(numbered("17", 7), ops), -1);
}
