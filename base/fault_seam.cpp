#include "base/fault_seam.h"

#include <stdexcept>

namespace hm {

FaultSeam& PluginFaults() {
    static FaultSeam& seam = *new FaultSeam;
    return seam;
}

void ThrowInjectedFault(FaultSeam& seam) {
    seam.thrown.fetch_add(1);
    if (seam.kind.load() == int(FaultKind::kForeign)) throw 42;
    throw std::runtime_error("injected fault");
}

}  // namespace hm
