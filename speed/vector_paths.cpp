// Which ways of computing stretched samples this processor can take.
#include "block_resampling.h"

namespace tavrel {

bool CanUseVectorPath(VectorPath path) {
  switch (path) {
    case VectorPath::kPortable: return true;
#if defined(TAVREL_X86_VECTOR_KERNELS)
    case VectorPath::kAvx2: return __builtin_cpu_supports("avx2");
    case VectorPath::kAvx512:
      return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
             __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl");
#endif
    default: return false;
  }
}

VectorPath FastestVectorPath() {
  for (const VectorPath path : {VectorPath::kAvx512, VectorPath::kAvx2}) {
    if (CanUseVectorPath(path)) {
      return path;
    }
  }
  return VectorPath::kPortable;
}

}  // namespace tavrel
