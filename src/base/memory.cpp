#include "base/memory.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace tk {

void ReleaseFreeMemory() {
#if defined(__GLIBC__)
    ::malloc_trim(0);
#endif
}

}  // namespace tk
