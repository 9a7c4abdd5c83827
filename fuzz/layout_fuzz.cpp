// Arbitrary bytes as a layout file: the reader and the property planner must
// neither crash nor write past a table, whatever the file holds.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "base/ini_text.h"
#include "layout/layout_file.h"
#include "layout/property_effects.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    kq::IniText ini(text);
    static kq::PageLayout* layout = new kq::PageLayout;  // large; reused between runs
    kq::ReadLayout(ini, "C:\\pkg\\theme\\page.lcd", layout);

    kq::PageContext context;
    context.pageIndex = static_cast<int>(size % 3);
    context.pageCount = 2;
    context.expand = [](const std::string& t) { return t + "!"; };
    kq::ControlTable& table = layout->controls;
    if (table.Count() > kq::kMaxControls) __builtin_trap();
    for (int i = 0; i < table.Count(); ++i) {
        kq::ControlEntry& entry = table.At(i);
        if (entry.propertyCount < 0 || entry.propertyCount > kq::kMaxProperties) __builtin_trap();
        kq::ArrangeProperties(entry, context);
        entry.ClickAction();
        if (table.IndexOfId(entry.windowId) < 0) __builtin_trap();
    }
    return 0;
}
