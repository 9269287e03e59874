// Builds without wide kernels: the portable code computes every frame.
#include "wide_kernels.h"

namespace tavrel {

bool CanUseVectorPath(VectorPath path) { return path == VectorPath::kPortable; }

VectorPath FastestVectorPath() { return VectorPath::kPortable; }

const WideKernels* WideKernelsFor(VectorPath) { return nullptr; }

}  // namespace tavrel
