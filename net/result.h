// How the pieces of net/ tell each other that something failed: a value, or why there is none.
#pragma once

#include <string>
#include <utility>
#include <variant>

namespace net {

// Why a step failed, in plain English. It stays inside net/ and its tests: the outward contracts
// (http_request's numbered status texts, the text utilities' empty results) are made from it by
// the operation that owns them.
struct Failure {
  std::string reason;
};

// Either a value or a Failure; never both, never neither.
//
//   Result<Text> read_body(...);
//   auto body = read_body(...);
//   if (!body) return Failure{"body: " + body.failure().reason};
//   use(*body);
template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
  Result(Failure failure) : state_(std::in_place_index<1>, std::move(failure)) {}

  bool ok() const noexcept { return state_.index() == 0; }
  explicit operator bool() const noexcept { return ok(); }

  T& value() & { return std::get<0>(state_); }
  const T& value() const& { return std::get<0>(state_); }
  T&& value() && { return std::get<0>(std::move(state_)); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }
  T&& operator*() && { return std::move(*this).value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }

  // The value, or `fallback` when there is none.
  T value_or(T fallback) const& { return ok() ? value() : std::move(fallback); }

  const Failure& failure() const { return std::get<1>(state_); }

 private:
  std::variant<T, Failure> state_;
};

// Success with nothing to carry, or a Failure. `return {};` reports success.
template <>
class [[nodiscard]] Result<void> {
 public:
  Result() = default;
  Result(Failure failure) : failure_(std::move(failure)), ok_(false) {}

  bool ok() const noexcept { return ok_; }
  explicit operator bool() const noexcept { return ok_; }
  const Failure& failure() const { return failure_; }

 private:
  Failure failure_;
  bool ok_ = true;
};

using Status = Result<void>;

}  // namespace net
