// Calls that nest as deep as the input without growing the machine stack.
// A function returning FlatCall<T> is a coroutine: its frame lives on the
// heap, and `co_await f(...)` does not call f on the stack but hands it to
// the loop run() turns, which resumes the innermost call under way until
// it ends and then the one that awaited it.  So a recursive walk over an
// else-if chain of 10,000 branches costs memory, never a stack overflow.
//
// Await a call in the expression that makes it (`x = co_await f(a)`): the
// temporaries its reference parameters are bound to live only that long.
// GCC 12 miscompiles two forms inside a coroutine: a braced list holding a
// string literal, and, in an awaited call's arguments, a `?:` that makes an
// object (both of its temporaries are destroyed).  Name such a value first.
#pragma once

#include <coroutine>
#include <exception>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

namespace cfg {

template <typename T = void>
class FlatCall;

namespace flat_call {

using Handles = std::vector<std::coroutine_handle<>>;

struct PromiseBase {
  Handles* underWay = nullptr;  // the calls begun and not ended, innermost last
  std::exception_ptr failure;
  std::suspend_always initial_suspend() noexcept { return {}; }
  std::suspend_always final_suspend() noexcept { return {}; }
  void unhandled_exception() { failure = std::current_exception(); }
};

template <typename T>
struct Promise : PromiseBase {
  std::optional<T> value;
  FlatCall<T> get_return_object();
  void return_value(T v) { value.emplace(std::move(v)); }
};

template <>
struct Promise<void> : PromiseBase {
  FlatCall<void> get_return_object();
  void return_void() {}
};

}  // namespace flat_call

template <typename T>
class [[nodiscard]] FlatCall {
 public:
  using promise_type = flat_call::Promise<T>;

  explicit FlatCall(std::coroutine_handle<promise_type> handle) : handle_(handle) {}
  FlatCall(FlatCall&& other) noexcept : handle_(std::exchange(other.handle_, {})) {}
  FlatCall& operator=(FlatCall&&) = delete;
  ~FlatCall() {
    if (handle_) handle_.destroy();
  }

  // Awaited by another call: this one runs next, and the caller goes on
  // with its result once it has ended.
  bool await_ready() const noexcept { return false; }
  template <typename CallerPromise>
  void await_suspend(std::coroutine_handle<CallerPromise> caller) {
    handle_.promise().underWay = caller.promise().underWay;
    handle_.promise().underWay->push_back(handle_);
  }
  T await_resume() { return result(); }

  // Runs the call, and every call it awaits, to its end on this thread.
  T run() && {
    flat_call::Handles underWay{handle_};
    handle_.promise().underWay = &underWay;
    while (!underWay.empty()) {
      const std::coroutine_handle<> innermost = underWay.back();
      if (innermost.done())
        underWay.pop_back();
      else
        innermost.resume();
    }
    return result();
  }

 private:
  T result() {
    promise_type& promise = handle_.promise();
    if (promise.failure) std::rethrow_exception(promise.failure);
    if constexpr (!std::is_void_v<T>) return std::move(*promise.value);
  }

  std::coroutine_handle<promise_type> handle_;
};

namespace flat_call {

template <typename T>
FlatCall<T> Promise<T>::get_return_object() {
  return FlatCall<T>(std::coroutine_handle<Promise<T>>::from_promise(*this));
}

inline FlatCall<void> Promise<void>::get_return_object() {
  return FlatCall<void>(std::coroutine_handle<Promise<void>>::from_promise(*this));
}

}  // namespace flat_call

}  // namespace cfg
