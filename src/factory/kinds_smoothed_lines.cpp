#include "factory/registry.h"
#include "indicators/smoothed_lines.h"

namespace vsci {

std::span<const KindEntry> smoothed_line_kinds() {
  static constexpr KindEntry kEntries[] = {
      kind_row<&Alligator::create>("Alligator", {"jaw", "teeth", "lips"}, {13, 8, 5}),
      kind_row<&GatorOscillator::create>("GatorOscillator", {"jaw", "teeth", "lips"}, {13, 8, 5}),
      kind_row<&SmoothedHeikinAshi::create>("SmoothedHeikinAshi", {"period"}),
  };
  return kEntries;
}

}  // namespace vsci
