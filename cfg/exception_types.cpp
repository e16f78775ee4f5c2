#include "cfg/exception_types.h"

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

bool isKnown(std::string_view type) { return type == "Throwable" || superclasses().count(type) > 0; }

CatchMatch matchOne(const std::string& thrown, const std::vector<std::string>& caught) {
  CatchMatch best = CatchMatch::Never;
  for (const std::string& c : caught) {
    if (c == thrown || c == "Throwable") return CatchMatch::Always;
    if (isKnown(thrown)) {
      // The whole chain is known: the catch takes it exactly when it names
      // one of the superclasses.
      for (std::string_view t = thrown; t != "Throwable";) {
        const auto up = superclasses().find(t);
        if (up == superclasses().end()) break;
        t = up->second;
        if (t == c) return CatchMatch::Always;
      }
      continue;
    }
    // A class of the program's own may extend any class but the ones it
    // is known not to be.
    best = CatchMatch::Maybe;
  }
  return best;
}

}  // namespace

CatchMatch matchCatch(const std::vector<std::string>& thrown, const std::vector<std::string>& caught) {
  if (thrown.empty()) {
    for (const std::string& c : caught)
      if (c == "Throwable") return CatchMatch::Always;
    return CatchMatch::Maybe;
  }
  bool always = true;
  bool never = true;
  for (const std::string& t : thrown) {
    const CatchMatch m = matchOne(t, caught);
    always = always && m == CatchMatch::Always;
    never = never && m == CatchMatch::Never;
  }
  return always ? CatchMatch::Always : never ? CatchMatch::Never : CatchMatch::Maybe;
}

}  // namespace cfg
