// PlantUML's text of a sequence diagram and of a flowchart: the whole text
// of small methods, its escaping, and, over every method of the test
// fixtures, the same messages as the Mermaid text of the same diagram.
#include "plantuml/sequence_text.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <tuple>

#include "frontends/java/language_level.h"
#include "mermaid/sequence_text.h"
#include "pipeline/method_flow.h"
#include "pipeline/method_sequence.h"
#include "pipeline/parsed_source.h"
#include "plantuml/activity_text.h"
#include "tests/support/test_support.h"

namespace plantuml {
namespace {

constexpr const char* kJava = R"(class Shop {
  Store store;
  int checkout(int n) {
    Basket basket = new Basket();
    if (n > 0) store.take("a<b>", n);
    for (int i = 0; i < n; i++) basket.add(i);
    return basket.total();
  }
})";

errors::Result<pipeline::ParsedSource> parsedText(const std::string& java) {
  return pipeline::ParsedSource::parseText("Shop.java", java, java::kNewestLanguageLevel);
}

const pipeline::MethodSummary& methodNamed(const pipeline::ParsedSource& parsed, const std::string& name) {
  for (const pipeline::MethodSummary& method : parsed.summary().methods)
    if (method.name == name) return method;
  throw std::runtime_error("no method " + name);
}

TEST(PlantUml, SequenceTextOfAMethodWithCreationsFragmentsAndReturns) {
  errors::Result<pipeline::ParsedSource> parsed = parsedText(kJava);
  ASSERT_TRUE(parsed) << parsed.problem().message;
  pipeline::SequenceSources sources(*parsed, "");
  const errors::Result<pipeline::MethodSequence> planned =
      pipeline::planMethodSequence(sources, methodNamed(*parsed, "checkout"), {});
  ASSERT_TRUE(planned) << planned.problem().message;
  EXPECT_EQ(sequenceText(planned->diagram),
            "@startuml\n"
            "participant \"&#58;Shop\" as p0\n"
            "participant \"store&#58;Store\" as p2\n"
            "activate p0\n"
            "create participant \"basket&#58;Basket\" as p1\n"
            "p0 -> p1 : new Basket&#40;&#41;\n"
            "opt n &#62; 0\n"
            "  p0 -> p2 : take&#40;&#34;a&#60;b&#62;&#34;, n&#41;\n"
            "  activate p2\n"
            "  deactivate p2\n"
            "end\n"
            "loop i &#60; n\n"
            "  p0 -> p1 : add&#40;i&#41;\n"
            "  activate p1\n"
            "  deactivate p1\n"
            "end\n"
            "p0 -> p1 : total&#40;&#41;\n"
            "activate p1\n"
            "p1 --> p0 : total&#40;&#41;\n"
            "deactivate p1\n"
            "deactivate p0\n"
            "@enduml\n");
  // Every character PlantUML's markup reads, and a backslash as its code.
  EXPECT_EQ(lineText("a\\b *c* [d]\ne"), "a<U+005C>b &#42;c&#42; &#91;d&#93;\\ne");
}

TEST(PlantUml, ActivityTextOfALoopAndABranch) {
  errors::Result<pipeline::ParsedSource> parsed = parsedText(kJava);
  ASSERT_TRUE(parsed) << parsed.problem().message;
  const errors::Result<cfg::MethodFlow> flow = pipeline::methodFlow(*parsed, methodNamed(*parsed, "checkout"));
  ASSERT_TRUE(flow) << flow.problem().message;
  EXPECT_EQ(activityText(*flow),
            "@startuml\n"
            "title checkout&#40;int n&#41;\n"
            "start\n"
            ":Basket basket &#61; new Basket&#40;&#41;&#59;;\n"
            "if (if &#40;n &#62; 0&#41;) then (yes)\n"
            "  :store.take&#40;&#34;a&#60;b&#62;&#34;, n&#41;&#59;;\n"
            "else (no)\n"
            "endif\n"
            ":int i &#61; 0;\n"
            "while (for &#40;int i &#61; 0&#59; i &#60; n&#59; i++&#41;) is (yes)\n"
            "  :basket.add&#40;i&#41;&#59;;\n"
            "  :i++;\n"
            "endwhile (no)\n"
            ":return basket.total&#40;&#41;;\n"
            "stop\n"
            "@enduml\n");
}

// The messages of a diagram's text, decoded: "from>to: text", a return
// as "from>>to: text".
std::vector<std::string> messages(const std::string& text, const std::regex& line, const std::regex& entity) {
  std::vector<std::string> out;
  for (std::sregex_iterator it(text.begin(), text.end(), line), end; it != end; ++it) {
    std::string said;
    const std::string written = (*it)[4].str();
    size_t at = 0;
    for (std::sregex_iterator e(written.begin(), written.end(), entity), none; e != none; ++e) {
      said += written.substr(at, static_cast<size_t>(e->position()) - at);
      const unsigned long code = std::stoul((*e)[1].str());
      if (code < 0x80) {
        said += static_cast<char>(code);
      } else if (code < 0x800) {
        said += static_cast<char>(0xC0 | code >> 6);
        said += static_cast<char>(0x80 | (code & 0x3F));
      } else {
        said += static_cast<char>(0xE0 | code >> 12);
        said += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        said += static_cast<char>(0x80 | (code & 0x3F));
      }
      at = static_cast<size_t>(e->position() + e->length());
    }
    said += written.substr(at);
    said = std::regex_replace(said, std::regex("<U\\+005C>"), "\\");
    out.push_back((*it)[1].str() + ((*it)[2].str().size() == 4 || (*it)[2].str() == "-->" ? ">>" : ">") +
                  (*it)[3].str() + ": " + said);
  }
  return out;
}

TEST(PlantUml, SaysTheSameMessagesAsMermaidForEveryFixtureMethod) {
  const std::regex mermaidLine(R"((?:^|\n) *(p\d+)(-->>|->>)(p\d+): ([^\n]*))");
  const std::regex plantLine(R"((?:^|\n) *(p\d+) (-->|->) (p\d+) : ([^\n]*))");
  const std::regex mermaidEntity("#(\\d+);");
  const std::regex plantEntity("&#(\\d+);");
  pipeline::SequenceOptions options;
  options.depth = 2;
  size_t diagrams = 0, said = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(testing_support::fixture(""))) {
    if (entry.path().extension() != ".java") continue;
    errors::Result<pipeline::ParsedSource> parsed =
        pipeline::ParsedSource::parse(entry.path().string(), java::kNewestLanguageLevel);
    if (!parsed) continue;
    pipeline::SequenceSources sources(*parsed, "");
    const bool latin1 = parsed->charset() == text::Charset::Latin1;
    for (const pipeline::MethodSummary& method : parsed->summary().methods) {
      const errors::Result<pipeline::MethodSequence> planned = pipeline::planMethodSequence(sources, method, options);
      if (!planned) continue;
      const std::vector<std::string> fromMermaid =
          messages(mermaid::sequenceText(planned->diagram, latin1), mermaidLine, mermaidEntity);
      const std::vector<std::string> fromPlantUml =
          messages(sequenceText(planned->diagram, latin1), plantLine, plantEntity);
      EXPECT_EQ(fromMermaid, fromPlantUml) << entry.path() << " " << method.name << ":" << method.line;
      ++diagrams;
      said += fromMermaid.size();
    }
  }
  EXPECT_GT(diagrams, 100u);
  EXPECT_GT(said, 400u);
}

}  // namespace
}  // namespace plantuml
