// The metrics collector: follows classes, methods and initialiser blocks
// while the file is parsed, counts lines, comment lines, decision points
// and Halstead operators and operands, and writes the results file.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace java {

// A named value of the results file.
struct Measure {
  std::string id;
  std::string value;
};

// Line counts of a closed class or function; the results file writes its
// measures and hints from them.
struct LineCounts {
  int64_t commentLines = 0;   // CL
  int64_t physicalLines = 0;  // PHYSICAL, also the denominator of POC
  int64_t nloc = 0;
};

struct ClassRecord {
  std::string name;
  int startLine = 0;
  int endLine = 0;  // set, with the counts below, when the class is closed
  std::string type;  // CLS, IFC, ENM or AIC
  std::vector<size_t> functions;
  std::vector<size_t> nestedClasses;
  int64_t enclosingClass = -1;
  int64_t enclosingFunction = -1;
  int64_t wmc2 = 0;
  bool closed = false;
  int64_t wmc1 = 0;  // functions directly in the class when it closed
  LineCounts lines;
};

struct FunctionRecord {
  std::string name;
  int startLine = 0;
  int endLine = 0;  // set, with the counts below, when the function is closed
  std::string signature;
  std::vector<size_t> classes;
  int64_t enclosingClass = -1;
  int64_t cc = 1;
  bool closed = false;
  LineCounts lines;
  // Halstead counts of the operators and operands met while the function
  // was the scope, and the volume they give when it closes.
  int64_t operators = 0;
  int64_t operands = 0;
  int64_t volume = 0;
};

// Sorted line numbers; distinct or with repeats.
class LineList {
 public:
  explicit LineList(bool distinct) : distinct_(distinct) {}
  void add(int line);
  // Entries from first to last inclusive.
  int64_t count(int first, int last) const;
  size_t size() const { return lines_.size(); }

 private:
  bool distinct_;
  std::vector<int> lines_;
};

class Metrics {
 public:
  inline static constexpr std::string_view kBlockName = "#Block#";
  // The class type of a record (modern levels).
  inline static constexpr std::string_view kRecordType = "REC";

  // Resets everything and records the source's modification time.
  void start(int64_t modificationTime);

  void countOperator(std::string_view name);
  void countOperand(std::string_view name);
  void countDecision();
  void noteCommentLine(int line);
  // The line of a token the grammar is about to use; counted once per line.
  void tokenLine(int line);
  void setPendingClassType(std::string_view type) { pendingClassType_ = type; }
  std::string_view pendingClassType() const { return pendingClassType_; }

  void openClass(std::string name, int firstLine, std::string_view type);
  void closeClass(int lastLine);
  void openFunction(std::string name, int firstLine, std::string signature);
  void closeFunction(int lastLine);
  // At the end of the file, with the scanner's current line.
  void finishFile(int currentLine);

  // Whether each method's Halstead volume goes into the results file as
  // the measure "HV_MTD" (for in-process callers; mode 7 writes none).
  void setMethodVolumes(bool written) { methodVolumes_ = written; }
  // Names the class the methods and fields outside any class belong to
  // (a compact source file's implicit class, named after the file), so
  // that the results file lists them; mode 7 names none and leaves them out.
  void setImplicitClass(std::string name) { implicitClassName_ = std::move(name); }

  // The results file; written only after a successful parse.
  std::string resultsText() const;
  bool writeResults(const std::string& path) const;

  // The records, for readers that take them as they are rather than as
  // the results file writes them.
  const std::deque<ClassRecord>& classes() const { return classes_; }
  const std::deque<FunctionRecord>& functions() const { return functions_; }
  // The classes the results file lists at its top, in its order.
  const std::vector<size_t>& fileClasses() const { return fileClasses_; }
  // The file's measures, as the results file writes them.
  const std::vector<Measure>& fileMeasures() const { return fileMeasures_; }
  bool methodVolumes() const { return methodVolumes_; }
  int64_t looseDecisions() const { return looseDecisions_; }

 private:
  enum class ScopeKind { File, Class, Function };
  struct StringHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
  };
  using NameSet = std::unordered_set<std::string, StringHash, std::equal_to<>>;

  class Output;

  int64_t nloc(int first, int last) const;
  int64_t commentLines(int first, int last) const { return comments_.count(first, last); }
  int64_t physical(int first, int last) const { return physical_.count(first, last); }
  LineCounts countLines(int first, int last) const;
  void writeResults(Output& out) const;
  void writeClass(Output& out, size_t index) const;

  bool writesCc(const FunctionRecord& record) const;
  bool writesWmc2(const ClassRecord& record) const;

  ScopeKind scopeKind_ = ScopeKind::File;
  size_t scopeIndex_ = 0;
  int64_t looseDecisions_ = 0;
  std::string pendingClassType_ = "CLS";

  // Deques: a file of many classes or methods grows them without copying.
  std::deque<ClassRecord> classes_;
  std::deque<FunctionRecord> functions_;
  std::vector<size_t> fileClasses_;
  std::vector<size_t> fileFunctions_;
  int64_t fileNloc_ = 0;
  std::vector<Measure> fileMeasures_;
  std::vector<Measure> fileHints_;

  int lastTokenLine_ = 0;
  LineList code_{true};
  LineList comments_{false};
  LineList physical_{true};

  int64_t totalOperators_ = 0;
  int64_t totalOperands_ = 0;
  NameSet operators_;
  NameSet operands_;

  // The distinct names of the function in scope; a function nested in it
  // (in an anonymous class) keeps its own while it is open.
  struct FunctionNames {
    size_t function;
    NameSet operators;
    NameSet operands;
  };
  std::vector<FunctionNames> openFunctionNames_;
  bool methodVolumes_ = false;
  std::string implicitClassName_;
};

// CL / PHYSICAL x 100 as printf's "%f" writes it.
std::string percentText(int64_t part, int64_t whole);
// Rounds half up: truncate, then add 1 when the fraction is at least 0.5.
int64_t roundHalfUp(double value);

}  // namespace java
