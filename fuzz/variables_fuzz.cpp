// Arbitrary bytes as the setup script's variable section and as web
// addresses: the section reader must keep to the table's limit and the
// values' cut, computing must finish with one value per variable, and the
// address split must only accept what a request can use.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/ini_text.h"
#include "net/transfer_texts.h"
#include "net/web_address.h"
#include "run/script.h"
#include "run/variables.h"

namespace {

// Answers every query with the text it was asked about.
class EchoMachine : public kq::VariableMachine {
public:
    std::string ReadRegistry(kq::RegistryRoot, const std::string& key, const std::string&) override { return key; }
    bool Exists(const std::string& path) override { return path.size() % 2 == 0; }
    std::string ReadIni(const std::string&, const std::string& section, const std::string&) override {
        return section;
    }
    std::string FetchText(const std::string& address) override { return address; }
    bool WindowExists(const std::string& windowClass, const std::string&) override { return !windowClass.empty(); }
    void ShowWaitWindow() override { ++shown; }
    void CloseWaitWindow() override { ++closed; }
    int shown = 0, closed = 0;
};

void CheckAddress(const std::string& address) {
    kq::WebAddress split;
    if (!kq::SplitWebAddress(address, split)) return;
    if (split.host.empty() || split.host.size() > kq::kMaxHostLength) std::abort();
    if (split.path.empty() || split.path[0] != '/') std::abort();
    if (split.port == 0) std::abort();
    if (split.host.find_first_of(" /\\@") != std::string::npos) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    CheckAddress(text);

    kq::IniText ini(text);
    const std::vector<kq::VariableSpec> specs = kq::ReadVariableSpecs(kq::Script(ini));
    if (specs.size() > kq::kMaxUserVariables) std::abort();
    for (const kq::VariableSpec& spec : specs) {
        const std::string* fields[] = {&spec.name, &spec.defaultValue, &spec.description, &spec.registryKey,
                                       &spec.registryValue, &spec.iniFile, &spec.iniSection, &spec.iniKey,
                                       &spec.path, &spec.address, &spec.windowClass, &spec.windowTitle};
        for (const std::string* field : fields) {
            if (field->size() >= kq::Script::kShortSize) std::abort();
        }
        CheckAddress(spec.address);
    }
    EchoMachine machine;
    const kq::UserVariableTable table =
        kq::ComputeVariables(specs, [](const std::string& t, const kq::UserVariableTable&) { return t + t; }, machine);
    if (table.size() != specs.size() || machine.shown > 1 || machine.shown != machine.closed) std::abort();

    // Numbers from the input through the panel's texts.
    if (size >= 16) {
        double rate;
        int64_t received, total;
        std::memcpy(&rate, data, sizeof(rate));
        std::memcpy(&received, data + 8, sizeof(received));
        total = received ^ 0x5a5a5a5a;
        kq::RateText(rate);
        if (received >= 0 && total >= 0)
            kq::TimeLeftText(kq::SecondsLeft(static_cast<uint32_t>(received), received, total), received, total);
    }
    return 0;
}
