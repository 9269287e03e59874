// The one place that decides which wide instructions resample: those the
// processor has, chosen at run time.
#include "x86_kernels.h"

namespace tavrel {

namespace {

constexpr WideKernels kAvx2{&StretchDenseFramesAvx2, &ShrinkFramesAvx2};
constexpr WideKernels kAvx512{&StretchDenseFramesAvx512, &ShrinkFramesAvx512};

}  // namespace

bool CanUseVectorPath(VectorPath path) {
  switch (path) {
    case VectorPath::kPortable: return true;
    case VectorPath::kAvx2: return __builtin_cpu_supports("avx2");
    case VectorPath::kAvx512:
      return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
             __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl");
  }
  return false;
}

VectorPath FastestVectorPath() {
  for (const VectorPath path : {VectorPath::kAvx512, VectorPath::kAvx2}) {
    if (CanUseVectorPath(path)) {
      return path;
    }
  }
  return VectorPath::kPortable;
}

const WideKernels* WideKernelsFor(VectorPath path) {
  switch (path) {
    case VectorPath::kAvx2: return &kAvx2;
    case VectorPath::kAvx512: return &kAvx512;
    case VectorPath::kPortable: break;
  }
  return nullptr;
}

}  // namespace tavrel
