// Each kind is described from its registry row; its warm-up is learnt by
// building it through the factory at the example parameters and at probes
// around them, and stated as a line in its count parameters only when every
// probe agrees with that line. The values each parameter takes are found the
// same way, by halving between a value that builds and one that does not.
#include "kinds_doc.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <numeric>
#include <sstream>

#include "factory/build_indicator.h"
#include "factory/params.h"

namespace vsci {

namespace {

bool is_count(char letter) { return letter == 'p' || letter == 'u'; }

std::optional<std::int64_t> warmup_at(std::string_view kind, std::span<const double> params) {
  auto built = build_indicator(kind, params);
  if (!built.ok()) return std::nullopt;
  return static_cast<std::int64_t>(built.value()->warmup());
}

// The line through the example and one-position steps of the count
// parameters, checked against joint moves, the counts in reversed order and
// moves of the other parameters; nothing when a probe disagrees.
std::optional<WarmupLine> probe_warmup(const KindEntry& e) {
  const std::span<const double> example = e.example.view();
  const std::vector<double> base(example.begin(), example.end());
  const auto w0 = warmup_at(e.name, base);
  if (!w0) return std::nullopt;

  WarmupLine line;
  line.constant = *w0;
  std::vector<std::size_t> counts;
  for (std::size_t i = 0; i < base.size(); ++i) {
    std::vector<double> p = base;
    if (is_count(e.params[i])) {
      counts.push_back(i);
      // Steps of 2 serve the kinds that take only even counts.
      std::optional<std::int64_t> coeff;
      for (std::int64_t step : {1, 2}) {
        p[i] = base[i] + static_cast<double>(step);
        const auto near = warmup_at(e.name, p);
        p[i] = base[i] + static_cast<double>(4 * step);
        const auto far = warmup_at(e.name, p);
        if (!near || !far) continue;
        const std::int64_t rise = *near - *w0;
        if (rise % step != 0 || *far - *w0 != 4 * rise) return std::nullopt;
        coeff = rise / step;
        break;
      }
      if (!coeff) return std::nullopt;
      if (*coeff != 0) {
        line.terms.emplace_back(i, *coeff);
        line.constant -= *coeff * static_cast<std::int64_t>(base[i]);
      }
    } else {
      for (double scale : {0.5, 1.25}) {
        p[i] = base[i] == 0.0 ? scale : base[i] * scale;
        const auto w = warmup_at(e.name, p);
        if (w && *w != *w0) return std::nullopt;
      }
    }
  }

  std::vector<double> joint = base, doubled = base, reversed = base, equal = base;
  double largest = 0.0;
  for (std::size_t k = 0; k < counts.size(); ++k) largest = std::max(largest, base[counts[k]]);
  for (std::size_t k = 0; k < counts.size(); ++k) {
    const std::size_t i = counts[k];
    joint[i] = base[i] + static_cast<double>(k + 2);
    doubled[i] = base[i] * 2 + static_cast<double>(k);
    reversed[i] = base[counts[counts.size() - 1 - k]];
    equal[i] = largest;
  }
  for (const auto& p : {joint, doubled, reversed, equal}) {
    const auto w = warmup_at(e.name, p);
    if (w && *w != line.at(p)) return std::nullopt;
  }
  return line;
}

// A parameter's values in order as keys: the whole numbers themselves for the
// integer types, and for numbers the bit patterns ordered as the values are,
// so that halving between two keys halves the values in between.
std::int64_t key_of(char letter, double v) {
  if (letter != 'f') return static_cast<std::int64_t>(v);
  const auto bits = std::bit_cast<std::int64_t>(std::fabs(v));
  return std::signbit(v) ? -bits : bits;
}

double value_of(char letter, std::int64_t key) {
  if (letter != 'f') return static_cast<double>(key);
  return key < 0 ? -std::bit_cast<double>(-key) : std::bit_cast<double>(key);
}

// The widest values each type's getter lets through; counts stop at 2^53,
// where doubles stop holding every whole number.
std::int64_t type_end(char letter, bool high) {
  switch (letter) {
    case 'p':
      return high ? std::int64_t{1} << 53 : 1;
    case 'u':
      return high ? std::numeric_limits<std::uint32_t>::max() : 0;
    case 'i':
      return high ? std::numeric_limits<std::int32_t>::max() : std::numeric_limits<std::int32_t>::min();
    default:
      return key_of('f', high ? std::numeric_limits<double>::max() : -std::numeric_limits<double>::max());
  }
}

// The last value that builds and the first that does not, from the value at
// `pos` towards the type's end in steps of `step`; nothing when the end
// builds (`end_builds` says so), or the value at `pos` itself does not.
struct Edge {
  double taken, refused;
};
std::optional<Edge> edge_of(const KindEntry& e, std::vector<double> p, std::size_t pos, std::int64_t step,
                            bool high, bool* end_builds = nullptr) {
  const char letter = e.params[pos];
  // Integer values count steps from the example's value; numbers are their
  // keys (a step of 1), whose differences could overflow.
  const std::int64_t from = letter == 'f' ? 0 : key_of(letter, p[pos]);
  const auto value = [&](std::int64_t k) { return value_of(letter, from + step * k); };
  const auto builds = [&](std::int64_t k) {
    p[pos] = value(k);
    return build_indicator(e.name, p).ok();
  };
  std::int64_t in = key_of(letter, p[pos]) - from, out = (type_end(letter, high) - from) / step;
  const bool far_builds = builds(out);
  if (end_builds != nullptr) *end_builds = far_builds;
  if (far_builds || !builds(in)) return std::nullopt;
  while (in + 1 != out && in - 1 != out) {
    const std::int64_t mid = std::midpoint(in, out);
    (builds(mid) ? in : out) = mid;
  }
  return Edge{value(in), value(out)};
}

// A window's own limit goes without saying: the reference's general line
// states it.
bool is_window_limit(char letter, const Edge& edge) {
  return letter == 'p' && edge.taken == static_cast<double>(MAX_PERIOD);
}

// Whichever end reads shorter: "above 0" rather than "at least 5e-324".
void set_fixed_end(char letter, const Edge& edge, ParamBound& b) {
  b.inclusive = letter != 'f' || format_param_value(edge.taken).size() <= format_param_value(edge.refused).size();
  b.value = b.inclusive ? edge.taken : edge.refused;
}

// The other parameters' values a parameter's ends are probed at. `far` marks
// one that puts a parameter at a far limit: a window's, or the widest value
// of its type. An end reached only there follows from that limit (a window of
// period - 2 is at most 16,777,214) and goes without saying.
struct Setting {
  std::vector<double> params;
  bool far = false;
};

// Beyond an end that varies, the end that holds whatever the other parameters
// are: the widest over the settings, which put each of them at its own ends
// too, when none of them builds the type's end.
void find_fixed_beyond(const KindEntry& e, std::span<const Setting> settings, std::size_t pos, std::int64_t step,
                       bool high, ParamBound& b) {
  std::optional<Edge> widest;
  bool near = false;  // whether a setting without a far limit reaches it
  for (const Setting& s : settings) {
    bool end_builds = false;
    const auto edge = edge_of(e, s.params, pos, step, high, &end_builds);
    if (end_builds) return;
    if (!edge) continue;
    if (!widest || (high ? edge->taken > widest->taken : edge->taken < widest->taken)) {
      widest = edge;
      near = !s.far;
    } else if (edge->taken == widest->taken) {
      near = near || !s.far;
    }
  }
  if (!widest || !near || is_window_limit(e.params[pos], *widest)) return;
  b.fixed_beyond = true;
  set_fixed_end(e.params[pos], *widest, b);
}

// `settings` holds the example first, then the others moved; the rest serve
// only an end that varies.
ParamBound bound_of(const KindEntry& e, std::span<const Setting> settings, std::size_t pos, std::int64_t step,
                    bool high) {
  const std::vector<double>& base = settings[0].params;
  const std::vector<double>& moved = settings[1].params;
  const auto at_base = edge_of(e, base, pos, step, high);
  const auto at_moved = edge_of(e, moved, pos, step, high);
  ParamBound b;
  if (!at_base && !at_moved) return b;
  b.kind = ParamBound::Kind::Varies;
  if (at_base && at_moved && at_base->taken == at_moved->taken) {
    if (is_window_limit(e.params[pos], *at_base)) return ParamBound{};
    b.kind = ParamBound::Kind::Fixed;
    set_fixed_end(e.params[pos], *at_base, b);
    return b;
  }
  for (std::size_t j = 0; at_base && at_moved && j < base.size(); ++j) {
    if (j == pos) continue;
    for (bool inclusive : {true, false}) {
      const auto end = [inclusive](const Edge& edge) { return inclusive ? edge.taken : edge.refused; };
      if (end(*at_base) == base[j] && end(*at_moved) == moved[j]) {
        b.kind = ParamBound::Kind::Other;
        b.other = j;
        b.inclusive = inclusive;
        return b;
      }
    }
  }
  find_fixed_beyond(e, settings, pos, step, high, b);
  return b;
}

bool builds_with(const KindEntry& e, std::vector<double> p, std::size_t pos, double value) {
  p[pos] = value;
  return build_indicator(e.name, p).ok();
}

std::vector<ParamRange> probe_ranges(const KindEntry& e) {
  const std::span<const double> example = e.example.view();
  const std::vector<double> base(example.begin(), example.end());
  std::vector<double> moved = base;
  for (std::size_t i = 0; i < moved.size(); ++i) {
    if (is_count(e.params[i])) moved[i] *= 2;
    if (e.params[i] == 'f') moved[i] *= 0.5;
  }
  std::vector<ParamRange> ranges(base.size());
  for (std::size_t i = 0; i < base.size(); ++i) {
    ranges[i].step = e.params[i] != 'f' && !builds_with(e, base, i, base[i] - 1) &&
                             !builds_with(e, base, i, base[i] + 1) && builds_with(e, base, i, base[i] + 2)
                         ? 2
                         : 1;
  }
  // The values each parameter is probed at: the example, moved, its own ends
  // with the others at the example (the type's end where that builds), and
  // half a far limit, where an end that stops short of the limit shows as one
  // that is not the limit's doing.
  std::vector<std::vector<std::pair<double, bool>>> values(base.size());  // (value, far)
  for (std::size_t j = 0; j < base.size(); ++j) {
    const char letter = e.params[j];
    values[j] = {{base[j], false}, {moved[j], false}};
    for (bool high : {false, true}) {
      const auto edge = edge_of(e, base, j, ranges[j].step, high);
      const double end = edge ? edge->taken : value_of(letter, type_end(letter, high));
      // The lowest count and integer >= 0 are near: what they give (a slow
      // period of at least 2) is worth saying.
      const bool far = edge ? is_window_limit(letter, *edge) : high || letter == 'f' || letter == 'i';
      values[j].emplace_back(end, far);
      if (far) values[j].emplace_back(letter == 'f' ? end / 2 : std::trunc(end / 2), false);
    }
  }
  for (std::size_t i = 0; i < base.size(); ++i) {
    // The position itself stays at the example while the others move: all
    // together, then through every combination of their values, since an
    // end may need two of them at once at their own ends.
    std::vector<Setting> settings = {{base}, {moved}};
    settings[1].params[i] = base[i];
    std::vector<std::size_t> pick(base.size(), 0);
    for (std::size_t j = 0; j < base.size();) {
      Setting s{base};
      for (std::size_t k = 0; k < base.size(); ++k) {
        if (k == i) continue;
        s.params[k] = values[k][pick[k]].first;
        s.far = s.far || values[k][pick[k]].second;
      }
      settings.push_back(std::move(s));
      for (j = 0; j < base.size(); ++j) {
        if (j == i) continue;
        if (++pick[j] < values[j].size()) break;
        pick[j] = 0;
      }
    }
    ranges[i].low = bound_of(e, settings, i, ranges[i].step, false);
    ranges[i].high = bound_of(e, settings, i, ranges[i].step, true);
  }
  return ranges;
}

// By Feed: the text a declaration's `feed` member takes, and what a kind of
// that feed reads on each bar.
struct FeedWords {
  std::string_view json;
  std::string_view reads;
};
constexpr FeedWords kFeedWords[] = {
    {"kline", "candle and side records"}, {"trade", "trade prints"},
    {"orderbook", "order book"},          {"trade_quote", "trade prints and order book"},
    {"derivatives", "derivatives tick"},  {"cross_section", "cross-section"},
};

FeedWords feed_words(const KindEntry& e) {
  const auto index = static_cast<std::size_t>(e.feed);
  return index < std::size(kFeedWords) ? kFeedWords[index] : FeedWords{};
}

// By InputClass, for the kinds fed from the candle itself.
constexpr std::string_view kInputWords[] = {"close", "candle", "close and reference close"};

std::string_view input_text(const KindEntry& e) {
  const auto index = static_cast<std::size_t>(e.input);
  return index < std::size(kInputWords) ? kInputWords[index] : feed_words(e).reads;
}

std::string_view type_text(char letter) {
  switch (letter) {
    case 'p':
      return "count";
    case 'u':
      return "integer >= 0";
    case 'i':
      return "integer";
    default:
      return "number";
  }
}

std::string_view first_value_text(FirstValue f) {
  switch (f) {
    case FirstValue::BarAfterWarmup:
      return "; first value a bar later";
    case FirstValue::WhenDataAllows:
      return "; data-dependent";
    default:
      return "";
  }
}

std::string warmup_formula(const KindDoc& k) {
  if (!k.warmup) return std::to_string(k.warmup_at_example) + " at the example; depends on the parameters";
  std::string out;
  for (const auto& [pos, coeff] : k.warmup->terms) {
    const std::int64_t size = coeff < 0 ? -coeff : coeff;
    if (!out.empty()) out += coeff < 0 ? " - " : " + ";
    else if (coeff < 0) out += "-";
    if (size != 1) out += std::to_string(size) + "*";
    out += "`" + std::string(k.entry->param_names[pos]) + "`";
  }
  const std::int64_t c = k.warmup->constant;
  if (out.empty()) return std::to_string(c);
  if (c > 0) out += " + " + std::to_string(c);
  if (c < 0) out += " - " + std::to_string(-c);
  return out;
}

std::string warmup_text(const KindDoc& k) { return warmup_formula(k) + std::string(first_value_text(k.entry->first_value)); }

// Empty for an end the type gives, or one that varies with nothing fixed beyond it.
std::string bound_text(const KindEntry& e, const ParamBound& b, bool high) {
  static constexpr std::string_view kWords[2][2] = {{"above ", "at least "}, {"below ", "at most "}};
  const std::string_view words = kWords[high][b.inclusive];
  switch (b.kind) {
    case ParamBound::Kind::Varies:
      if (!b.fixed_beyond) return "";
      [[fallthrough]];
    case ParamBound::Kind::Fixed:
      return std::string(words) + format_param_value(b.value);
    case ParamBound::Kind::Other:
      return std::string(words) + "`" + std::string(e.param_names[b.other]) + "`";
    default:
      return "";
  }
}

// The type, then the values taken where they are fewer than the type's.
std::string parameter_text(const KindEntry& e, const ParamRange& r, std::size_t pos) {
  std::string out = "`" + std::string(e.param_names[pos]) + "` " + std::string(type_text(e.params[pos]));
  std::vector<std::string> ends;
  if (r.step == 2) ends.emplace_back(static_cast<std::int64_t>(e.example.values[pos]) % 2 == 0 ? "even" : "odd");
  for (const auto& [b, high] : {std::pair{r.low, false}, std::pair{r.high, true}}) {
    if (std::string text = bound_text(e, b, high); !text.empty()) ends.push_back(std::move(text));
  }
  if (r.low.kind == ParamBound::Kind::Varies || r.high.kind == ParamBound::Kind::Varies) {
    ends.push_back("bounded by the other parameters");
  }
  for (std::size_t i = 0; i < ends.size(); ++i) out += (i == 0 ? " (" : i + 1 < ends.size() ? ", " : " and ") + ends[i];
  return ends.empty() ? out : out + ")";
}

std::string parameters_text(const KindDoc& k) {
  if (k.entry->params.empty()) return "none";
  std::string out;
  for (std::size_t i = 0; i < k.entry->params.size(); ++i) {
    if (i > 0) out += ", ";
    out += parameter_text(*k.entry, k.ranges[i], i);
  }
  return out;
}

std::string example_text(const KindEntry& e) {
  std::string out = "[";
  const auto values = e.example.view();
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i > 0) out += ", ";
    out += format_param_value(values[i]);
  }
  return out + "]";
}

std::string outputs_text(const KindEntry& e) {
  if (e.outputs.empty()) return "";
  std::string out;
  for (std::string_view name : e.outputs) {
    if (!out.empty()) out += ", ";
    out += "`." + std::string(name) + "`";
  }
  return out;
}

}  // namespace

std::int64_t WarmupLine::at(std::span<const double> params) const {
  std::int64_t w = constant;
  for (const auto& [pos, coeff] : terms) w += coeff * static_cast<std::int64_t>(params[pos]);
  return w;
}

Expected<std::vector<KindDoc>, std::string> describe_kinds() {
  std::vector<KindDoc> docs;
  for (const KindFamily& family : kind_families()) {
    std::vector<const KindEntry*> rows;
    for (const KindEntry& e : family.rows()) rows.push_back(&e);
    std::sort(rows.begin(), rows.end(), [](const KindEntry* a, const KindEntry* b) { return a->name < b->name; });
    for (const KindEntry* e : rows) {
      KindDoc k;
      k.entry = e;
      k.family = family.title;
      const auto w = warmup_at(e->name, e->example.view());
      if (!w) return unexpected("kind " + std::string(e->name) + " does not build from its example parameters");
      k.warmup_at_example = static_cast<std::uint64_t>(*w);
      k.warmup = probe_warmup(*e);
      k.ranges = probe_ranges(*e);
      docs.push_back(std::move(k));
    }
  }
  return docs;
}

Expected<std::string, std::string> kinds_markdown() {
  auto described = describe_kinds();
  if (!described.ok()) return unexpected(std::move(described).error());
  const std::vector<KindDoc>& docs = described.value();

  std::ostringstream md;
  md << "# Indicator kinds\n\n"
     << "<!-- Written by the kinds_doc program from the indicator registry; do not edit by hand.\n"
     << "     Rewrite it with: cmake --build build/dev --target kinds_doc && ./build/dev/kinds_doc > docs/kinds.md -->\n\n"
     << "Every kind name the `type` of an indicator declaration accepts: " << docs.size() << " kinds and "
     << kind_aliases().size() << " aliases. See [format.md](format.md) for how a strategy declares and uses them.\n\n"
     << "- **Fed**: what the kind reads on each bar. Close-fed kinds skip a bar whose close is not finite; "
        "candle-fed kinds skip a bar whose prices are not finite, whose volume is negative or not finite, or whose "
        "high and low do not bound its open and close. Kinds fed a reference close or side records give a value "
        "only when the backtest request carries that series or feed, which a strategy test never does "
        "(see \"Side feeds\" in [format.md](format.md)).\n"
     << "- **feed**: the value to write in the declaration's optional `feed` member. A declared feed that differs "
        "from this one is refused; leaving `feed` out is always accepted.\n"
     << "- **Parameters**: the `params` list, in order. `count` is a whole number of at least 1 (at most "
        "16,777,216 where it sizes a window); `integer >= 0` is a whole number from 0 to 4,294,967,295 and "
        "`integer` one from -2,147,483,648 to 2,147,483,647; `number` is a finite number. Where a parameter takes "
        "fewer values, they follow its type in parentheses: *even* where only even values build, its ends (*above* "
        "and *below* leave the end out, *at least* and *at most* take it), another parameter's name where an end is "
        "that parameter's value (*below `slow`*), and *bounded by the other parameters* where an end moves with "
        "them otherwise; an end stated beside those words holds whatever the other parameters are, and the one "
        "that moves lies inside it. Every position is required (there are no defaults) and extra positions are ignored.\n"
     << "- **Warm-up**: the bars the kind reports it needs, which delay the strategy's rules unless the strategy "
        "sets its own `warmup`. The count includes the bar of the first value: a warm-up of 5 means the first "
        "value comes on the fifth bar the kind accepts. Given as a formula in the parameters where it is one near "
        "the example parameters, else as its value for the example. Marked *first value a bar later*, the kind "
        "gives its first value on the bar after that. Marked *data-dependent*, the first value comes when the data "
        "allows (a completed day or session, a confirmed swing or pattern, enough trade prints): before the warm-up, "
        "after it (for patterns often hundreds of bars after), or never on some series; the rules are still "
        "delayed by the warm-up as stated. A kind may still give no value on some bars after its first (a ratio over a window without "
        "deviation, for instance).\n"
     << "- **Outputs**: named outputs besides the kind's main value. An indicator declared as `bb` with the output "
        "`.upper` is read in rules as `\"bb.upper\"`; an output name that the kind does not have is accepted and "
        "never has a value.\n"
     << "- **Example**: a parameter list that builds.\n\n";

  md << "## Aliases\n\n| alias | stands for |\n|---|---|\n";
  for (const KindAlias& a : kind_aliases()) md << "| `" << a.alias << "` | `" << a.target << "` |\n";
  md << "\nAn alias behaves exactly as the kind it stands for; its errors name that kind. The `feed` check does not "
        "know the aliases, so any `feed` is accepted beside them.\n";

  std::string_view family;
  for (const KindDoc& k : docs) {
    if (k.family != family) {
      family = k.family;
      md << "\n## " << family << "\n\n"
         << "| kind | fed | feed | parameters | warm-up | outputs | example |\n"
         << "|---|---|---|---|---|---|---|\n";
    }
    md << "| `" << k.entry->name << "` | " << input_text(*k.entry) << " | `" << feed_words(*k.entry).json << "` | "
       << parameters_text(k) << " | " << warmup_text(k) << " | " << outputs_text(*k.entry) << " | "
       << example_text(*k.entry) << " |\n";
  }
  return md.str();
}

}  // namespace vsci
