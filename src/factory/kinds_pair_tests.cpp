#include "factory/registry.h"
#include "indicators/pair_tests.h"

namespace vsci {

std::span<const KindEntry> pair_test_kinds() {
  static constexpr KindEntry kEntries[] = {
      kind_row<&Cointegration::create>("Cointegration", {"period", "adf_lags"}, {30, 2}),
      kind_row<&GrangerCausality::create>("GrangerCausality", {"period", "lag"}, {30, 2}),
      kind_row<&HasbrouckInformationShare::create>("HasbrouckInformationShare", {"period"}, {20}),
      kind_row<&LeadLagCrossCorrelation::create>("LeadLagCrossCorrelation", {"window", "max_lag"}, {20, 5}),
  };
  return kEntries;
}

}  // namespace vsci
