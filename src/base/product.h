// The program's own name: the caption of its windows and message boxes and
// the start of its messages.
#pragma once

namespace kq {

constexpr char kProductName[] = "Merrowin";

}  // namespace kq
