// Each kind is described from its registry row; its warm-up is learnt by
// building it through the factory at the example parameters and at probes
// around them, and stated as a line in its count parameters only when every
// probe agrees with that line.
#include "kinds_doc.h"

#include <algorithm>
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

std::string parameters_text(const KindDoc& k) {
  if (k.entry->params.empty()) return "none";
  std::string out;
  for (std::size_t i = 0; i < k.entry->params.size(); ++i) {
    if (i > 0) out += ", ";
    out += "`" + std::string(k.entry->param_names[i]) + "` " + std::string(type_text(k.entry->params[i]));
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
        "16,777,216 where it sizes a window); `integer >= 0` and `integer` are whole numbers; `number` is any "
        "finite number. Every position is required (there are no defaults) and extra positions are ignored.\n"
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
