// kinds_doc: writes the kind reference (docs/kinds.md) to standard output.
//   ./build/dev/kinds_doc > docs/kinds.md
#include <cstdio>

#include "kinds_doc.h"

int main() {
  const auto md = vsci::kinds_markdown();
  if (!md.ok()) {
    std::fprintf(stderr, "kinds_doc: %s\n", md.error().c_str());
    return 1;
  }
  std::fwrite(md.value().data(), 1, md.value().size(), stdout);
  return 0;
}
