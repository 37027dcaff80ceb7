#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "support/batch_reference.h"
#include "support/compare.h"
#include "support/counted_sums.h"
#include "support/kind_checks.h"
#include "support/series.h"

namespace vsci {
namespace {

using namespace vsci::testing;

// Up share in percent, 50 without movement.
double share(double up, double down) { return up + down != 0.0 ? (up / (up + down)) * 100.0 : 50.0; }

// Small whole-number closes with repeats and zeros, for streaks and zero divisors.
std::vector<double> choppy_integers() {
  std::vector<double> xs;
  unsigned s = 12345;
  for (int i = 0; i < 600; ++i) {
    s = s * 1103515245u + 12345u;
    xs.push_back(static_cast<double>((s >> 16) % 4));
  }
  return xs;
}

// ---- batch references, straight from the definitions ----

Series ref_rsi(const Series& in, std::size_t n) {
  Series out(in.size());
  const double nm1 = static_cast<double>(n) - 1.0, inv = 1.0 / static_cast<double>(n);
  std::optional<double> prev;
  double sg = 0.0, sl = 0.0, g = 0.0, l = 0.0;
  std::size_t k = 0;
  for (std::size_t i = 0; i < in.size(); ++i) {
    if (!in[i]) continue;
    const double x = *in[i];
    if (!prev) {
      prev = x;
      continue;
    }
    const double d = x - *prev, gain = d > 0.0 ? d : 0.0, loss = d < 0.0 ? -d : 0.0;
    prev = x;
    if (k < n) {
      sg += gain;
      sl += loss;
      if (++k < n) continue;
      g = sg / static_cast<double>(n);
      l = sl / static_cast<double>(n);
    } else {
      g = std::fma(g, nm1, gain) * inv;
      l = std::fma(l, nm1, loss) * inv;
    }
    out[i] = g + l == 0.0 ? 50.0 : (g * 100.0) / (g + l);
  }
  return out;
}

Series ref_rsx(const std::vector<double>& xs, std::size_t n) {
  const double a = 3.0 / (static_cast<double>(n) + 2.0), b = 1.0 - a;
  double sn[6] = {}, sd[6] = {};
  auto chain = [&](double* s, double in) {
    auto st = [&](int j, double v) { return s[j] = s[j] * b + v * a; };
    const double m1 = st(0, in), m2 = st(1, m1), m3 = st(2, 1.5 * m1 - 0.5 * m2), m4 = st(3, m3);
    const double m5 = st(4, 1.5 * m3 - 0.5 * m4), m6 = st(5, m5);
    return 1.5 * m5 - 0.5 * m6;
  };
  Series out(xs.size());
  for (std::size_t i = 1; i < xs.size(); ++i) {
    const double d = xs[i] - xs[i - 1];
    const double num = chain(sn, d), den = chain(sd, std::fabs(d));
    if (i >= n) out[i] = std::clamp(den > 0.0 ? (num / den + 1.0) * 50.0 : 50.0, 0.0, 100.0);
  }
  return out;
}

Series ref_rmi(const std::vector<double>& xs, std::size_t n, std::size_t m) {
  Series out(xs.size());
  const double nf = static_cast<double>(n);
  double sg = 0.0, sl = 0.0, g = 0.0, l = 0.0;
  for (std::size_t i = m; i < xs.size(); ++i) {
    const double d = xs[i] - xs[i - m], gain = d > 0.0 ? d : 0.0, loss = d < 0.0 ? -d : 0.0;
    const std::size_t k = i - m + 1;  // changes so far
    if (k <= n) {
      sg += gain;
      sl += loss;
      if (k < n) continue;
      g = sg / nf;
      l = sl / nf;
    } else {
      g = (gain + g * (nf - 1.0)) / nf;
      l = (loss + l * (nf - 1.0)) / nf;
    }
    out[i] = share(g, l);
  }
  return out;
}

Series ref_stoch_rsi(const std::vector<double>& xs, std::size_t n, std::size_t k) {
  const Series r = ref_rsi(as_series(xs), n);
  Series out(xs.size());
  std::vector<double> seen;
  for (std::size_t i = 0; i < xs.size(); ++i) {
    if (!r[i]) continue;
    seen.push_back(*r[i]);
    if (seen.size() < k) continue;
    const double lo = *std::min_element(seen.end() - k, seen.end());
    const double hi = *std::max_element(seen.end() - k, seen.end());
    out[i] = hi - lo != 0.0 ? (*r[i] - lo) * 100.0 / (hi - lo) : 50.0;
  }
  return out;
}

Series ref_connors(const std::vector<double>& xs, std::size_t n, std::size_t s, std::size_t r) {
  const Series r1 = ref_rsi(as_series(xs), n);
  Series streak(xs.size());
  double st = 0.0;
  for (std::size_t i = 1; i < xs.size(); ++i) {
    st = xs[i] > xs[i - 1] ? std::max(st, 0.0) + 1.0 : xs[i] < xs[i - 1] ? std::min(st, 0.0) - 1.0 : 0.0;
    streak[i] = st;
  }
  const Series r2 = ref_rsi(streak, s);
  Series out(xs.size());
  std::vector<double> changes;
  for (std::size_t i = 1; i < xs.size(); ++i) {
    if (xs[i - 1] != 0.0) changes.push_back((xs[i] - xs[i - 1]) / xs[i - 1]);
    if (changes.size() < r) continue;
    const double v = changes.back();
    const auto below = std::count_if(changes.end() - r, changes.end(), [&](double c) { return c < v; });
    const double rank = static_cast<double>(below) * 100.0 / static_cast<double>(r);
    if (r1[i] && r2[i]) out[i] = ((*r1[i] + *r2[i]) + rank) / 3.0;
  }
  return out;
}

Series ref_laguerre(const std::vector<double>& xs, double g) {
  Series out(xs.size());
  double l0 = xs[0], l1 = xs[0], l2 = xs[0], l3 = xs[0];
  out[0] = 50.0;
  for (std::size_t i = 1; i < xs.size(); ++i) {
    const double n0 = (1.0 - g) * xs[i] + g * l0;
    const double n1 = g * l1 + (l0 - g * n0);
    const double n2 = g * l2 + (l1 - g * n1);
    const double n3 = g * l3 + (l2 - g * n2);
    l0 = n0, l1 = n1, l2 = n2, l3 = n3;
    double up = 0.0, down = 0.0;
    for (auto [a, b] : {std::pair{l0, l1}, std::pair{l1, l2}, std::pair{l2, l3}}) {
      if (a >= b) up += a - b;
      else down += b - a;
    }
    out[i] = up + down > 0.0 ? std::clamp(up * 100.0 / (up + down), 0.0, 100.0) : 50.0;
  }
  return out;
}

// The path A is a running sum: each change's magnitude added as it arrives and
// subtracted when it leaves the last n.
Series ref_adaptive(const std::vector<double>& xs, std::size_t n) {
  Series out(xs.size());
  const double nf = static_cast<double>(n);
  double sg = 0.0, sl = 0.0, g = 0.0, l = 0.0, path = 0.0;
  for (std::size_t i = 1; i < xs.size(); ++i) {
    const double d = xs[i] - xs[i - 1], gain = d > 0.0 ? d : 0.0, loss = d < 0.0 ? -d : 0.0;
    if (i > n) path -= std::fabs(xs[i - n] - xs[i - n - 1]);
    path += std::fabs(d);
    if (i <= n) {  // the seeding bar gives the plain means, unsmoothed
      sg += gain;
      sl += loss;
      if (i < n) continue;
      g = sg / nf;
      l = sl / nf;
    } else {
      double c = (2.0 / 31.0) * (2.0 / 31.0);
      if (path != 0.0) {
        const double e = std::clamp(std::fabs(xs[i] - xs[i - n]) / path, 0.0, 1.0);
        const double t = e * (2.0 / 3.0 - 2.0 / 31.0) + 2.0 / 31.0;
        c = t * t;
      }
      g = g + (gain - g) * c;
      l = l + (loss - l) * c;
    }
    out[i] = share(g, l);
  }
  return out;
}

Series ref_anchored(const std::vector<double>& xs) {
  Series out(xs.size());
  double cg = 0.0, cl = 0.0;
  for (std::size_t i = 1; i < xs.size(); ++i) {
    const double d = xs[i] - xs[i - 1];
    if (d > 0.0) cg += d;
    if (d < 0.0) cl -= d;
    out[i] = cl == 0.0 ? (cg == 0.0 ? 50.0 : 100.0) : 100.0 - 100.0 / (cg / cl + 1.0);
  }
  return out;
}

Series ref_fisher_rsi(const std::vector<double>& xs, std::size_t n) {
  Series out = ref_rsi(as_series(xs), n);
  for (auto& v : out) {
    if (!v) continue;
    const double t = std::clamp((*v - 50.0) / 50.0, -0.999, 0.999);
    v = 0.5 * std::log((1.0 + t) / (1.0 - t));
  }
  return out;
}

// Population deviation of the last 5 closes from running sums of their
// offsets to a shift, the shift moved to the window mean every 5 closes; one
// entry per close from the 5th on.
std::vector<double> ref_deviation5(const std::vector<double>& xs) {
  std::vector<double> out;
  double shift = xs[0], s1 = 0.0, s2 = 0.0;
  for (std::size_t i = 0; i < xs.size(); ++i) {
    if (i >= 5) {
      const double d = xs[i - 5] - shift;
      s1 -= d;
      s2 -= d * d;
    }
    const double d = xs[i] - shift;
    s1 += d;
    s2 += d * d;
    if ((i + 1) % 5 == 0) {
      double total = 0.0;
      for (std::size_t j = i - 4; j <= i; ++j) total += xs[j];
      shift = total / 5.0;
      s1 = s2 = 0.0;
      for (std::size_t j = i - 4; j <= i; ++j) s1 += xs[j] - shift, s2 += (xs[j] - shift) * (xs[j] - shift);
    }
    if (i < 4) continue;
    const double m = s1 / 5.0, var = s2 / 5.0 - m * m;
    out.push_back(std::sqrt(var > 0.0 ? var : 0.0));
  }
  return out;
}

Series ref_dynamic(const std::vector<double>& xs, double b) {
  const std::vector<double> sds = ref_deviation5(xs);
  const Series avg = ref::sma(sds, 10);
  Series out(xs.size());
  for (std::size_t i = 30; i < xs.size(); ++i) {
    const double sd = sds[i - 4], a = *avg[i - 4];
    std::size_t len = 30;
    if (sd > 0.0 && a > 0.0) len = static_cast<std::size_t>(std::clamp(std::round(b / (sd / a)), 5.0, 30.0));
    double up = 0.0, down = 0.0;
    for (std::size_t j = i + 1 - len; j <= i; ++j) {
      const double c = xs[j] - xs[j - 1];
      if (c > 0.0) up += c;
      if (c < 0.0) down -= c;
    }
    out[i] = share(up, down);
  }
  return out;
}

Series ref_smoothed_histogram(const std::vector<double>& xs, std::size_t n, std::size_t p1, std::size_t p2,
                              std::size_t q) {
  const Series e2 = ref::ema(ref::ema(ref_rsi(as_series(xs), n), p1), p2);
  const Series s = ref::over_present(e2, [q](const std::vector<double>& v) { return ref::sma(v, q); });
  Series out(xs.size());
  for (std::size_t i = 0; i < xs.size(); ++i)
    if (s[i]) out[i] = *e2[i] - *s[i];
  return out;
}

// ---- tests ----

TEST(RsiFamily, ConstructorChecksInOrder) {
  const std::string gamma = "invalid period: LaguerreRSI gamma must be a finite value in [0, 1]";
  expect_build_outcomes({
      {"Rsi", {kZeroCount}, kPeriodZeroText},
      {"Rsi", {16777217}, kMaxPeriodText},
      {"Rsx", {kZeroCount}, kPeriodZeroText},
      {"Rsx", {16777217}, kMaxPeriodText},
      {"Rmi", {16777217, kZeroCount}, kPeriodZeroText},
      {"Rmi", {16777217, 3}, kMaxPeriodText},
      {"Rmi", {14, 16777217}, kMaxPeriodText},
      {"Cmo", {kZeroCount}, kPeriodZeroText},
      {"Cmo", {16777217}, kMaxPeriodText},
      {"StochRsi", {16777217, kZeroCount}, kPeriodZeroText},
      {"StochRsi", {16777217, 14}, kMaxPeriodText},
      {"StochRsi", {14, 16777217}, kMaxPeriodText},
      {"ConnorsRsi", {16777217, 2, kZeroCount}, kPeriodZeroText},
      {"ConnorsRsi", {3, 16777217, 100}, kMaxPeriodText},
      {"ConnorsRsi", {3, 2, 16777217}, kMaxPeriodText},
      {"LaguerreRsi", {1.5}, gamma},
      {"LaguerreRsi", {-1e-9}, gamma},
      {"LaguerreRsi", {kInf}, "parameter #0 must be finite"},
      {"AdaptiveRsi", {kZeroCount}, kPeriodZeroText},
      {"AdaptiveRsi", {16777217}, kMaxPeriodText},
      {"FisherRsi", {kZeroCount}, kPeriodZeroText},
      {"FisherRsi", {16777217}, kMaxPeriodText},
      {"DynamicLengthRsi", {kZeroCount}, kPeriodZeroText},
      {"DynamicLengthRsi", {16777217}, kMaxPeriodText},
      {"SmoothedRsiHistogram", {16777217, 3, 5, kZeroCount}, kPeriodZeroText},
      {"SmoothedRsiHistogram", {16777217, 3, 5, 9}, kMaxPeriodText},
      {"SmoothedRsiHistogram", {14, 3, 16777217, 9}, kMaxPeriodText},
      {"AnchoredRsi", {}, ""},
      {"LaguerreRsi", {0}, ""},
      {"LaguerreRsi", {1}, ""},
      {"DynamicLengthRsi", {16777216}, ""},
  });
}

TEST(RsiFamily, ConnorsWarmupIsItsLongestPart) {
  // The shared conformance test sees the rank window decide; here the close
  // and streak RSIs do.
  expect_warmup("ConnorsRsi", {10, 2, 5}, 11);
  expect_warmup("ConnorsRsi", {3, 8, 5}, 10);
}

TEST(RsiFamily, MatchBatchReferences) {
  auto data = reference_walks();
  data.push_back(choppy_integers());
  for (const auto& xs : data) {
    expect_series(run_kind("Rsi", {14}, xs), ref_rsi(as_series(xs), 14), 0.0, "Rsi");
    expect_series(run_kind("Rsx", {14}, xs), ref_rsx(xs, 14), 0.0, "Rsx");
    expect_series(run_kind("Rmi", {14, 4}, xs), ref_rmi(xs, 14, 4), 0.0, "Rmi");
    expect_series(run_kind("StochRsi", {14, 9}, xs), ref_stoch_rsi(xs, 14, 9), 0.0, "StochRsi");
    expect_series(run_kind("ConnorsRsi", {3, 2, 100}, xs), ref_connors(xs, 3, 2, 100), 0.0, "ConnorsRsi");
    expect_series(run_kind("LaguerreRsi", {0.5}, xs), ref_laguerre(xs, 0.5), 0.0, "LaguerreRsi");
    expect_series(run_kind("LaguerreRsi", {0.8}, xs), ref_laguerre(xs, 0.8), 0.0, "LaguerreRsi 0.8");
    expect_series(run_kind("AnchoredRsi", {}, xs), ref_anchored(xs), 0.0, "AnchoredRsi");
    expect_series(run_kind("FisherRsi", {9}, xs), ref_fisher_rsi(xs, 9), 0.0, "FisherRsi");
    expect_series(run_kind("Cmo", {9}, xs), ref::cmo(xs, 9), 0.0, "Cmo");
    expect_series(run_kind("AdaptiveRsi", {14}, xs), ref_adaptive(xs, 14), 0.0, "AdaptiveRsi");
    expect_series(run_kind("AdaptiveRsi", {2}, xs), ref_adaptive(xs, 2), 0.0, "AdaptiveRsi 2");
    expect_series(run_kind("DynamicLengthRsi", {12}, xs), ref_dynamic(xs, 12), 0.0, "DynamicLengthRsi");
    expect_series(run_kind("DynamicLengthRsi", {40}, xs), ref_dynamic(xs, 40), 0.0, "DynamicLengthRsi 40");
    expect_series(run_kind("SmoothedRsiHistogram", {14, 3, 5, 9}, xs), ref_smoothed_histogram(xs, 14, 3, 5, 9),
                  0.0, "SmoothedRsiHistogram");
  }
}

TEST(RsiFamily, RsiOnMonotoneAndFlatSeries) {
  std::vector<double> rising = {50.0}, falling = {50.0};
  for (int i = 1; i < 80; ++i) {
    rising.push_back(rising.back() + 0.1 * (1 + i % 4));
    falling.push_back(falling.back() - 0.1 * (1 + i % 4));
  }
  const std::vector<double> flat(80, 3.3);
  for (const std::string kind : {"Rsi", "Cmo"}) {
    const Series up = run_kind(kind, {14}, rising), down = run_kind(kind, {14}, falling);
    const Series still = run_kind(kind, {14}, flat);
    for (std::size_t i = 14; i < 80; ++i) {
      EXPECT_NEAR(*up[i], 100.0, 2e-14) << kind;  // (G * 100) / G: one rounding step at most
      if (kind == "Rsi") {
        EXPECT_EQ(*down[i], 0.0);
      } else {
        EXPECT_NEAR(*down[i], -100.0, 2e-14);
      }
      EXPECT_EQ(*still[i], kind == "Rsi" ? 50.0 : 0.0) << kind;
    }
  }
  // Period 1: the latest change alone decides.
  const Series one = run_kind("Rsi", {1}, {5, 7, 4, 4, 9});
  EXPECT_FALSE(one[0].has_value());
  EXPECT_NEAR(*one[1], 100.0, 2e-14);
  EXPECT_EQ(one[2], 0.0);
  EXPECT_EQ(one[3], 50.0);
  // Rmi with a one-bar momentum is the Rsi up to rounding.
  for (const auto& xs : reference_walks())
    expect_series(run_kind("Rmi", {14, 1}, xs), ref_rsi(as_series(xs), 14), 1e-12, "Rmi vs Rsi");
  // StochRsi over equal RSI values, DynamicLengthRsi without movement.
  EXPECT_EQ(run_kind("StochRsi", {5, 4}, flat).back(), 50.0);
  const Series dyn = run_kind("DynamicLengthRsi", {10}, flat);
  EXPECT_FALSE(dyn[29].has_value());
  EXPECT_EQ(dyn[30], 50.0);
  EXPECT_EQ(dyn.back(), 50.0);
}

TEST(RsiFamily, OwnSmoothingEdgeCases) {
  // Laguerre with gamma 0: the up share of the last three close changes, the
  // first close standing in for closes before it.
  const Series lag = run_kind("LaguerreRsi", {0}, {10, 12, 11, 15});
  EXPECT_EQ(lag[0], 50.0);
  EXPECT_EQ(lag[1], 100.0);
  EXPECT_EQ(lag[2], 2.0 * 100.0 / 3.0);
  EXPECT_EQ(lag[3], 6.0 * 100.0 / 7.0);
  // Anchored: first value on the second close; 50 with no movement, 100 with gains only.
  const Series anchored = run_kind("AnchoredRsi", {}, {4, 4, 6, 5});
  EXPECT_FALSE(anchored[0].has_value());
  EXPECT_EQ(anchored[1], 50.0);
  EXPECT_EQ(anchored[2], 100.0);
  EXPECT_EQ(anchored[3], 100.0 - 100.0 / (2.0 / 1.0 + 1.0));
  // Fisher saturates at the clamp on a rising series.
  const double edge = 0.5 * std::log((1.0 + 0.999) / (1.0 - 0.999));
  EXPECT_EQ(run_kind("FisherRsi", {5}, {1, 2, 3, 4, 5, 6, 7, 8}).back(), edge);
  // Histogram of 1-bar smoothings: the RSI minus itself from the second close on.
  const Series hist = run_kind("SmoothedRsiHistogram", {1, 1, 1, 1}, random_walk(40, 9));
  EXPECT_FALSE(hist[0].has_value());
  for (std::size_t i = 1; i < hist.size(); ++i) EXPECT_EQ(hist[i], 0.0);
}

TEST(RsiFamily, ConnorsRankSkipsZeroPreviousClose) {
  // The close after the 0 adds no change to the rank window (of 3): on that
  // bar the window is still {1/3, -1/2, -1}, and its newest value -1 (the step
  // down to 0) has nothing below it, so the rank is 0.
  const std::vector<double> xs = {1, 2, 3, 4, 2, 0, 5, 6, 6, 3};
  const Series got = run_kind("ConnorsRsi", {2, 2, 3}, xs);
  expect_series(got, ref_connors(xs, 2, 2, 3), 0.0, "ConnorsRsi with a zero close");
  Series streak = as_series({0, 1, 2, 3, -1, -2, 1, 2, 0, -1});
  streak[0].reset();  // the first close has no streak
  const double r1 = *ref_rsi(as_series(xs), 2)[6], r2 = *ref_rsi(streak, 2)[6];
  EXPECT_EQ(got[6], ((r1 + r2) + 0.0) / 3.0);
}

// The rank of the newest change over ties, flat stretches, signed zeros and
// infinite changes, at rank periods scanned and sorted alike.
TEST(RsiFamily, ConnorsRankCountsAsAScan) {
  std::vector<double> xs = tie_series(4500, 4);
  for (std::size_t i = 40; i + 1 < xs.size(); i += 211) xs[i] = 1e-300, xs[i + 1] = i % 2 ? 1e300 : -1e300;
  for (double r : {1.0, 2.0, 14.0, 49.0, 200.0, 2000.0}) {
    const auto rank = static_cast<std::size_t>(r);
    expect_series(run_kind("ConnorsRsi", {3, 2, r}, xs), ref_connors(xs, 3, 2, rank), 0.0, "ConnorsRsi rank period");
  }
}

// Closes with stretches of zero moves, windows 2 to 5 and one longer than a
// stretch: the up and down sums are counted window sums.
TEST(RsiFamily, CmoSumsAcrossFlatStretches) {
  const std::vector<double> closes = closes_with_flat_stretches(301, 62);
  std::vector<double> up, down;
  for (std::size_t i = 1; i < closes.size(); ++i) {
    const double diff = closes[i] - closes[i - 1];
    up.push_back(std::max(diff, 0.0));
    down.push_back(std::max(-diff, 0.0));
  }
  for (std::size_t n : kStretchWindows) {
    const auto u = window_sums(up, n), d = window_sums(down, n);
    Series want(closes.size());
    for (std::size_t j = n - 1; j < up.size(); ++j) {
      const double total = u[j] + d[j];
      want[j + 1] = total == 0.0 ? 0.0 : (u[j] - d[j]) * 100.0 / total;
    }
    expect_series(run_kind("Cmo", {double(n)}, closes), want, 0.0, "Cmo " + std::to_string(n));
  }
}

}  // namespace
}  // namespace vsci
