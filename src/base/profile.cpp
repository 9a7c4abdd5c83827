#include "base/profile.h"

namespace kq {

IProfileReader::~IProfileReader() = default;

}  // namespace kq
