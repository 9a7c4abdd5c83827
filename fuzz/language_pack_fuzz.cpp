// Arbitrary bytes split into a layout file and a language pack: applying the
// pack must neither crash nor plan more than one write per control the page
// engine reads, each a property-1 key of a record in range, whatever either
// file holds.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/ini_text.h"
#include "base/profile.h"
#include "layout/layout_file.h"
#include "wizard/languages.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    // The first byte picks the layout file name and where the split falls.
    const size_t split = 1 + (data[0] * (size - 1)) / 256;
    const char* file = kq::kStandardLayoutFiles[data[0] % kq::kStandardLayoutCount];
    const std::string layoutText(reinterpret_cast<const char*>(data) + 1, split - 1);
    const std::string packText(reinterpret_cast<const char*>(data) + split, size - split);
    kq::IniText layout(layoutText);
    kq::IniText pack(packText);

    const auto writes = kq::LayoutTranslationWrites(file, layout, pack);
    if (writes.size() > static_cast<size_t>(kq::kMaxControls)) __builtin_trap();
    for (const kq::CaptionWrite& w : writes) {
        // "30NN,1" keys only, and values no longer than the read cut allows.
        if (w.key.size() != 6 || w.key.compare(0, 2, "30") != 0 || w.key.compare(4, 2, ",1") != 0) __builtin_trap();
        if (w.value.size() > kq::kProfileValueSize - 1 + sizeof("Caption||0") - 1) __builtin_trap();
    }
    const std::string text = kq::PackText(pack, "InstallWelcome", "2");
    if (text.find('[') != std::string::npos || text.find(']') != std::string::npos) __builtin_trap();
    return 0;
}
