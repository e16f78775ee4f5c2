#include "cfg/exception_types.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

namespace cfg {
namespace {

// Each known class with its superclass, up to Throwable.
const std::unordered_map<std::string_view, std::string_view>& superclasses() {
  static const std::unordered_map<std::string_view, std::string_view> kTable = {
      {"Exception", "Throwable"},
      {"Error", "Throwable"},
      {"RuntimeException", "Exception"},
      {"IOException", "Exception"},
      {"ReflectiveOperationException", "Exception"},
      {"ClassNotFoundException", "ReflectiveOperationException"},
      {"NoSuchMethodException", "ReflectiveOperationException"},
      {"NoSuchFieldException", "ReflectiveOperationException"},
      {"IllegalAccessException", "ReflectiveOperationException"},
      {"InstantiationException", "ReflectiveOperationException"},
      {"InvocationTargetException", "ReflectiveOperationException"},
      {"InterruptedException", "Exception"},
      {"CloneNotSupportedException", "Exception"},
      {"TimeoutException", "Exception"},
      {"ExecutionException", "Exception"},
      {"FileNotFoundException", "IOException"},
      {"EOFException", "IOException"},
      {"UncheckedIOException", "RuntimeException"},
      {"IllegalArgumentException", "RuntimeException"},
      {"NumberFormatException", "IllegalArgumentException"},
      {"IllegalStateException", "RuntimeException"},
      {"NullPointerException", "RuntimeException"},
      {"ClassCastException", "RuntimeException"},
      {"ArithmeticException", "RuntimeException"},
      {"ArrayStoreException", "RuntimeException"},
      {"IndexOutOfBoundsException", "RuntimeException"},
      {"ArrayIndexOutOfBoundsException", "IndexOutOfBoundsException"},
      {"StringIndexOutOfBoundsException", "IndexOutOfBoundsException"},
      {"NegativeArraySizeException", "RuntimeException"},
      {"UnsupportedOperationException", "RuntimeException"},
      {"ConcurrentModificationException", "RuntimeException"},
      {"NoSuchElementException", "RuntimeException"},
      {"InputMismatchException", "NoSuchElementException"},
      {"SecurityException", "RuntimeException"},
      {"DateTimeException", "RuntimeException"},
      {"AssertionError", "Error"},
      {"OutOfMemoryError", "VirtualMachineError"},
      {"StackOverflowError", "VirtualMachineError"},
      {"VirtualMachineError", "Error"},
      {"LinkageError", "Error"},
      {"ExceptionInInitializerError", "LinkageError"},
  };
  return kTable;
}

// The class and its superclasses, as far as they are known; `complete`
// when they reach Throwable.
std::vector<std::string> ancestry(const std::string& type, const DeclaredSuperclasses& program, bool& complete) {
  std::vector<std::string> chain{type};
  complete = false;
  // A cycle (which javac refuses) or a chain this long ends the walk.
  for (size_t steps = 0; steps < 64; ++steps) {
    const std::string& last = chain.back();
    if (last == "Throwable") {
      complete = true;
      break;
    }
    // The platform's names first: most exceptions are the platform's, and
    // the program is read for its classes only when one is not.
    if (const auto up = superclasses().find(last); up != superclasses().end()) {
      chain.emplace_back(up->second);
      continue;
    }
    if (!program) break;
    const std::optional<std::vector<std::string>> declared = program(last);
    if (!declared || declared->empty()) break;
    chain.insert(chain.end(), declared->begin(), declared->end());
  }
  return chain;
}

CatchMatch matchOne(const std::string& thrown, const std::vector<std::string>& caught,
                    const DeclaredSuperclasses& program) {
  bool complete = false;
  const std::vector<std::string> chain = ancestry(thrown, program, complete);
  for (const std::string& c : caught)
    if (c == "Throwable" || std::find(chain.begin(), chain.end(), c) != chain.end()) return CatchMatch::Always;
  // A class whose superclasses are not all known may extend any class
  // but the ones it is known not to be.
  return complete ? CatchMatch::Never : CatchMatch::Maybe;
}

}  // namespace

CatchMatch matchCatch(const std::vector<std::string>& thrown, const std::vector<std::string>& caught,
                      const DeclaredSuperclasses& program) {
  if (thrown.empty()) {
    for (const std::string& c : caught)
      if (c == "Throwable") return CatchMatch::Always;
    return CatchMatch::Maybe;
  }
  bool always = true;
  bool never = true;
  for (const std::string& t : thrown) {
    const CatchMatch m = matchOne(t, caught, program);
    always = always && m == CatchMatch::Always;
    never = never && m == CatchMatch::Never;
  }
  return always ? CatchMatch::Always : never ? CatchMatch::Never : CatchMatch::Maybe;
}

}  // namespace cfg
