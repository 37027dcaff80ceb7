// ns per update of the swing kinds (the zigzag and the Fibonacci, chart,
// harmonic and leg patterns read from it) over 1,000,000 bars of a walk rough
// enough to confirm a pivot every few dozen bars.
#include "bench_support.h"

int main(int argc, char** argv) {
  const auto walk = vsci::bench::candles_of(vsci::bench::walk_closes(3, 15.0, 1.0));
  std::vector<vsci::bench::KindRun> runs;
  for (const char* kind :
       {"GoldenPocket", "FibRetracement", "AutoFib", "FibExtension", "FibProjection", "FibFan", "FibArcs",
        "FibChannel", "FibTimeZones", "FibConfluence", "DoubleTopBottom", "TripleTopBottom", "HeadAndShoulders",
        "Triangle", "Wedge", "FlagPennant", "RectangleRange", "TwinRimPullback", "Gartley", "Bat", "Butterfly",
        "Crab", "Shark", "ThreeDrives", "EqualLegsPattern", "ExtendedLegHarmonic"}) {
    runs.push_back({kind, {}});
  }
  vsci::bench::register_family("walk", walk, runs);
  return vsci::bench::run_registered(argc, argv);
}
