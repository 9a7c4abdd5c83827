#include "app/profile.h"

namespace kq {

IProfileReader::~IProfileReader() = default;

}  // namespace kq
