// The classes and methods of a parsed Java file with their measures, as
// the parser recorded them while it parsed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "frontends/java/metrics.h"

namespace pipeline {

struct ClassSummary {
  std::string name;           // as the parser records it (an anonymous class: its type)
  std::string qualifiedName;  // with the classes and methods that enclose it
  std::string type;           // "CLS", "IFC", "ENM", "AIC"
  int32_t line = 0;
  int32_t endLine = 0;
  std::optional<int64_t> nloc;  // NLOC_CLS

  // "class", "interface", "enum" or "anonymous class".
  const char* kind() const;
};

// The parser's name for every initialiser, static or not; the
// commands show neither it nor "{init}" (see shownName).
inline constexpr std::string_view kInitializerName = "#Block#";

struct MethodSummary {
  size_t classIndex = 0;      // into FileSummary::classes
  std::string name;           // kInitializerName for an initialiser
  std::string signature;
  int32_t line = 0;
  int32_t endLine = 0;
  // Where its declaration stands among the file's methods in the order
  // they begin: the summary lists a class's methods before those of the
  // classes inside them, so that an anonymous class's method written
  // before its neighbour on one line comes after it here.
  size_t documentOrder = 0;
  std::optional<int64_t> nloc;        // NLOC_MTD
  std::optional<int64_t> commentLines;  // CL_MTD
  std::optional<int64_t> halsteadVolume;  // HV_MTD, of the method's body

  bool isInitializer() const { return name == kInitializerName; }
  bool isStaticInitializer = false;  // static {} rather than {}
};

// An initialiser's name as the commands show it: "static {}" or "{}".
std::string initializerName(const MethodSummary& method);

// A method's own name as the commands show it: an initialiser's as above.
std::string shownName(const MethodSummary& method);

struct FileSummary {
  std::vector<ClassSummary> classes;  // in the order the parser recorded them
  std::vector<MethodSummary> methods;
  std::optional<int64_t> nloc;            // NLOC_FIL
  std::optional<int64_t> halsteadVolume;  // HV_FIL
  std::optional<int64_t> halsteadEffort;  // HE_FIL
  std::optional<int64_t> commentLines;    // CL_MTD_FIL

  // "Class.method" as a person reads it; initialisers show as
  // "Class.static {}" and "Class.{}".
  std::string displayName(const MethodSummary& method) const;
};

// A name, signature or comment as the parser records it (XML-escaped, as
// its files write it) read back as the source has it, a line break or tab
// read as a blank, as reading those files gives it.
std::string recordedText(std::string_view escaped);

// The summary of a parse's records, after an accepted parse.
FileSummary summaryOf(const java::Metrics& metrics);

}  // namespace pipeline
