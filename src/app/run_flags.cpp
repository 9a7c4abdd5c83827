#include "app/run_flags.h"

namespace kq {

RunFlags& Flags() {
    static RunFlags flags;
    return flags;
}

}  // namespace kq
