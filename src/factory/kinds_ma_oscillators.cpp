// Registry rows of the moving-average oscillators: a row follows from its
// kind's create and names an example only where the default would not serve.
#include "factory/registry.h"
#include "indicators/ma_oscillators.h"

namespace vsci {

namespace {

const KindEntry kEntries[] = {
    kind_row<&Apo::create>("Apo"),
    kind_row<&ElderImpulse::create>("ElderImpulse"),
    kind_row<&MacdHistogram::create>("MacdHistogram"),
    kind_row<&Pmo::create>("Pmo"),
    kind_row<&Ppo::create>("Ppo"),
    kind_row<&PpoHistogram::create>("PpoHistogram"),
    kind_row<&Stc::create>("Stc"),
    kind_row<&Tii::create>("Tii"),
    kind_row<&Trix::create>("Trix"),
    kind_row<&Tsi::create>("Tsi"),
    kind_row<&UniversalOscillator::create>("UniversalOscillator"),
};

}  // namespace

std::span<const KindEntry> ma_oscillator_kinds() { return kEntries; }

}  // namespace vsci
