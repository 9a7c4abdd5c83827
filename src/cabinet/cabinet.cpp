#include "cabinet/cabinet.h"

#include "base/text.h"

namespace kq {

std::string CabinetPath(const char* sourceFolder) {
    const std::string_view folder(sourceFolder);
    // No folder names the cabinet alone (the current folder), never in a drive's root.
    return (folder.empty() ? std::string() : WithTrailingBackslash(folder)) + kCabinetName;
}

std::string CabinetFailureMessage(const CabinetFailure& failure, const std::string& cabinetPath) {
    using Cause = CabinetFailure::Cause;
    const char* reason = "the cabinet is damaged";
    switch (failure.result) {
    case kCabinetNoDecoder: reason = "the cabinet decoder cannot be started"; break;
    case kCabinetCannotOpen: reason = "the file is missing or cannot be opened"; break;
    case kCabinetNotCabinet: reason = "the file is no cabinet"; break;
    default:
        if (failure.cause == Cause::kRefusedName) reason = "its stored name is not a plain file name";
        else if (failure.cause == Cause::kCannotWrite) reason = "it cannot be written to the working folder";
        else if (failure.cause == Cause::kPlanted) reason = "a file that setup did not make has its name";
        break;
    }
    const std::string file = failure.entry.empty() ? cabinetPath : failure.entry + " in " + cabinetPath;
    return std::string(kProductName) + " can't unpack the product's files.\r\nFile: " + file + "\r\nReason: " +
           reason + ".";
}

uint32_t RestoredAttributes(int storedAttributes) {
    return static_cast<uint32_t>(storedAttributes) & (0x01u | 0x02u | 0x04u | 0x20u);
}

bool MayUnpackAhead(uint64_t held, uint64_t next, uint64_t budget) {
    return held == 0 || (held <= budget && next <= budget - held);
}

}  // namespace kq
