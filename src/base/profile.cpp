#include "base/profile.h"

namespace kq {

ProfileReader::~ProfileReader() = default;

}  // namespace kq
