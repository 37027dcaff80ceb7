// Mom: the lag record shared by the momentum and rate-of-change kinds (and the
// open-interest momentum of the derivatives feed): a ring of the last n + 1
// accepted inputs, so each new input meets the one n places back.
// Single-threaded use.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>

#include "indicators/cores/ring.h"
#include "indicators/cores/window_checks.h"
#include "util/expected.h"

namespace vsci {

class Mom {
 public:
  static Expected<Mom, IndicatorError> create(std::uint64_t n) {
    if (auto e = check_period(n)) return unexpected(*e);
    return Mom(n);
  }

  // Appends a finite x and gives the input n accepted inputs before it, once
  // the ring holds n + 1; a NaN or infinite x gives nothing and changes nothing.
  std::optional<double> push(double x) {
    if (!std::isfinite(x)) return std::nullopt;
    ring_.push(x);
    if (!ring_.full()) return std::nullopt;
    return ring_.oldest();
  }

  // The n-bar momentum x - (input n back).
  std::optional<double> update_value(double x) {
    const auto o = push(x);
    if (!o) return std::nullopt;
    return x - *o;
  }

  std::uint64_t warmup() const { return n_ + 1; }
  std::uint64_t lag() const { return n_; }

 private:
  explicit Mom(std::uint64_t n) : n_(n), ring_(static_cast<std::size_t>(n + 1)) {}

  std::uint64_t n_ = 1;
  Ring<double> ring_;
};

}  // namespace vsci
