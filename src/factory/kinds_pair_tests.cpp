#include "factory/registry.h"
#include "indicators/pair_tests.h"

namespace vsci {

namespace {

const KindEntry kEntries[] = {
    kind_row<&Cointegration::create>("Cointegration", {30, 2}),
    kind_row<&GrangerCausality::create>("GrangerCausality", {30, 2}),
    kind_row<&HasbrouckInformationShare::create>("HasbrouckInformationShare", {20}),
    kind_row<&LeadLagCrossCorrelation::create>("LeadLagCrossCorrelation", {20, 5}),
};

}  // namespace

std::span<const KindEntry> pair_test_kinds() { return kEntries; }

}  // namespace vsci
