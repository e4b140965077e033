// The table of gather loops: one instantiated loop per combination of options, for the kernels
// whose source pixels are not contiguous (scaled and triangle).
#include "graphics/kernels_dispatch.h"

namespace zq::kernel {
namespace {

constexpr auto kGatherSpans = MakeKernelTable<GatherEntry>();

}  // namespace

GatherSpanFn GatherSpanAt(int index) { return kGatherSpans[index]; }

}  // namespace zq::kernel
