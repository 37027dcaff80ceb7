// A value or an error, for fallible operations that report failures as values
// (nothing in this system throws across a layer). Plain value type; safe to move
// between threads when T and E are.
#pragma once

#include <utility>
#include <variant>

namespace vsci {

template <class E>
struct Unexpected {
  E error;
};

template <class E>
Unexpected<std::decay_t<E>> unexpected(E&& e) {
  return {std::forward<E>(e)};
}

template <class T, class E>
class Expected {
 public:
  Expected(T value) : v_(std::in_place_index<0>, std::move(value)) {}
  template <class G>
  Expected(Unexpected<G> u) : v_(std::in_place_index<1>, std::move(u.error)) {}

  bool ok() const { return v_.index() == 0; }
  explicit operator bool() const { return ok(); }

  T& value() & { return std::get<0>(v_); }
  const T& value() const& { return std::get<0>(v_); }
  T&& value() && { return std::get<0>(std::move(v_)); }
  T* operator->() { return &std::get<0>(v_); }
  const T* operator->() const { return &std::get<0>(v_); }
  T& operator*() & { return std::get<0>(v_); }
  const T& operator*() const& { return std::get<0>(v_); }
  T&& operator*() && { return std::get<0>(std::move(v_)); }

  E& error() & { return std::get<1>(v_); }
  const E& error() const& { return std::get<1>(v_); }
  E&& error() && { return std::get<1>(std::move(v_)); }

 private:
  std::variant<T, E> v_;
};

// Expected<void, E>: success carries nothing.
template <class E>
class Expected<void, E> {
 public:
  Expected() = default;
  template <class G>
  Expected(Unexpected<G> u) : err_(std::move(u.error)), failed_(true) {}

  bool ok() const { return !failed_; }
  explicit operator bool() const { return ok(); }
  E& error() & { return err_; }
  const E& error() const& { return err_; }
  E&& error() && { return std::move(err_); }

 private:
  E err_{};
  bool failed_ = false;
};

}  // namespace vsci
