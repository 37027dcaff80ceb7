#include "factory/registry.h"
#include "indicators/deviation_bands.h"

namespace vsci {

namespace {

const KindEntry kEntries[] = {
    kind_row<&BollingerBands::create>("BollingerBands", {14, 2.0}),
    kind_row<&DoubleBollinger::create>("DoubleBollinger", {14, 1.0, 2.0}),
    kind_row<&RegressionBands::create_channel>("LinRegChannel", {14, 2.0}),
    kind_row<&ProjectionBands::create>("ProjectionBands", {10}),
    kind_row<&QuartileBands::create>("QuartileBands", {12}),
    kind_row<&RegressionBands::create_standard_error>("StandardErrorBands", {14, 2.0}),
    kind_row<&VwapStdDevBands::create>("VwapStdDevBands", {2.0}),
};

}  // namespace

std::span<const KindEntry> deviation_band_kinds() { return kEntries; }

}  // namespace vsci
