// The command's one way of saying what went wrong: a step that can fail
// returns a Result, which holds either its value or a Problem.  A Problem
// has a kind (which decides the exit code and whether a later run may
// succeed), the source line it concerns and, when the system refused
// something, the system's error number, so that a failed write says why
// without probing the disk afterwards.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <variant>

namespace errors {

struct Problem {
  enum class Kind {
    None,
    Usage,       // the command line asks for something that cannot be done
    Unreadable,  // the input is missing, a folder, binary or cannot be read
    Syntax,      // the source does not parse
    Failed,      // a later step failed (model, layout, drawing, output)
    NoBody,      // an abstract, interface or native method: nothing to draw
    Resource,    // the machine ran short (disk space, memory, a folder that
                 // cannot be written): not the input's fault, and a later
                 // run may succeed
  };
  Kind kind = Kind::None;
  int32_t line = 0;  // 0 when no line applies
  std::string message;
  int systemError = 0;  // errno when the system refused, else 0

  Problem() = default;
  Problem(Kind what, std::string text, int32_t at = 0) : kind(what), line(at), message(std::move(text)) {}

  // "what: the system's reason", of kind Resource when the reason is the
  // machine's (no space, quota, read-only file system, too many open
  // files, no memory), else of `otherwise`.
  static Problem fromSystem(std::string what, int error, Kind otherwise = Kind::Failed);

  void set(Kind what, std::string text, int32_t at = 0) {
    kind = what;
    message = std::move(text);
    line = at;
  }
  explicit operator bool() const { return kind != Kind::None; }
};

// Whether a system error number is the machine's trouble rather than the
// input's.
bool isMachineTrouble(int error);

#if !defined(NDEBUG) && !defined(FLOWCHART_CHECK_RESULTS)
#define FLOWCHART_CHECK_RESULTS 1
#endif

// Whether a result was looked at before it went: in builds that check
// (debug builds, and FLOWCHART_CHECK_RESULTS), a Result destroyed before
// ok() or operator bool was read stops the program, naming the problem it
// held, as a step whose failure nobody looked at would be lost.  Copying
// or moving one hands the duty on.  Elsewhere it costs nothing.
class ResultCheck {
 public:
#ifdef FLOWCHART_CHECK_RESULTS
  ResultCheck() = default;
  ResultCheck(const ResultCheck& other) : checked_(other.checked_) { other.checked_ = true; }
  ResultCheck(ResultCheck&& other) noexcept : checked_(other.checked_) { other.checked_ = true; }
  ResultCheck& operator=(const ResultCheck& other) {
    if (this != &other) {
      checked_ = other.checked_;
      other.checked_ = true;
    }
    return *this;
  }
  ResultCheck& operator=(ResultCheck&& other) noexcept { return *this = static_cast<const ResultCheck&>(other); }
  void checked() const { checked_ = true; }
  bool wasChecked() const { return checked_; }

 private:
  mutable bool checked_ = false;
#else
  void checked() const {}
  bool wasChecked() const { return true; }
#endif
};

// Stops the program: a result holding `problem` (or a value) was never checked.
[[noreturn]] void uncheckedResult(const Problem* problem);

// A value or the problem that kept it from being made.
template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
  Result(Problem problem) : state_(std::in_place_index<1>, std::move(problem)) {}
  Result(const Result&) = default;
  Result(Result&&) = default;
  Result& operator=(const Result& other) {
    if (this != &other) {
      problemMustBeChecked();
      state_ = other.state_;
      check_ = other.check_;
    }
    return *this;
  }
  Result& operator=(Result&& other) {
    if (this != &other) {
      problemMustBeChecked();
      state_ = std::move(other.state_);
      check_ = std::move(other.check_);
    }
    return *this;
  }
  ~Result() { mustBeChecked(); }

  bool ok() const {
    check_.checked();
    return state_.index() == 0;
  }
  explicit operator bool() const { return ok(); }
  // For a step whose failure does not matter (it is said elsewhere, or
  // a later step finds it again).
  void ignore() const { check_.checked(); }

  T& value() & { return std::get<0>(state_); }
  const T& value() const& { return std::get<0>(state_); }
  T&& value() && { return std::get<0>(std::move(state_)); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }

  const Problem& problem() const& { return std::get<1>(state_); }
  Problem&& problem() && { return std::get<1>(std::move(state_)); }

 private:
  void mustBeChecked() const {
    if (!check_.wasChecked()) uncheckedResult(state_.index() == 1 ? &std::get<1>(state_) : nullptr);
  }
  // Overwritten: only a problem nobody looked at is lost.
  void problemMustBeChecked() const {
    if (!check_.wasChecked() && state_.index() == 1) uncheckedResult(&std::get<1>(state_));
  }

  std::variant<T, Problem> state_;
  [[no_unique_address]] ResultCheck check_;
};

// A step with no value: done, or the problem.
template <>
class [[nodiscard]] Result<void> {
 public:
  Result() = default;
  Result(Problem problem) : problem_(std::move(problem)) {}
  Result(const Result&) = default;
  Result(Result&&) = default;
  Result& operator=(const Result& other) {
    if (this != &other) {
      problemMustBeChecked();
      problem_ = other.problem_;
      check_ = other.check_;
    }
    return *this;
  }
  Result& operator=(Result&& other) {
    if (this != &other) {
      problemMustBeChecked();
      problem_ = std::move(other.problem_);
      check_ = std::move(other.check_);
    }
    return *this;
  }
  ~Result() { mustBeChecked(); }

  bool ok() const {
    check_.checked();
    return problem_.kind == Problem::Kind::None;
  }
  explicit operator bool() const { return ok(); }
  void ignore() const { check_.checked(); }
  const Problem& problem() const& { return problem_; }
  Problem&& problem() && { return std::move(problem_); }

 private:
  void mustBeChecked() const {
    if (!check_.wasChecked()) uncheckedResult(problem_.kind == Problem::Kind::None ? nullptr : &problem_);
  }
  void problemMustBeChecked() const {
    if (!check_.wasChecked() && problem_.kind != Problem::Kind::None) uncheckedResult(&problem_);
  }

  Problem problem_;
  [[no_unique_address]] ResultCheck check_;
};

using Status = Result<void>;

}  // namespace errors
