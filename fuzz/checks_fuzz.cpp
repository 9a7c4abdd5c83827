// Arbitrary bytes as a setup script and language file: reading the
// conditions and the system requirements, evaluating and firing every
// condition (with an expansion that can grow texts), and building every
// requirement message must neither crash nor loop, whatever the texts hold.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/ini_text.h"
#include "base/text.h"
#include "checks/conditions.h"
#include "checks/requirements.h"

namespace {

class CountingActions : public kq::ConditionActions {
public:
    void CancelInstall() override { ++cancels; }
    void ShowMessage(const std::string& text) override { shown += text.size(); }
    int cancels = 0;
    size_t shown = 0;
};

// Facts taken from the script itself, so the fuzzer reaches every check.
class ScriptMachine : public kq::MachineFacts {
public:
    explicit ScriptMachine(const kq::ProfileReader& script) : m_script(script) {}
    kq::OsVersion Version() const override {
        kq::OsVersion v;
        v.platformId = static_cast<uint32_t>(Number("p"));
        v.major = static_cast<uint32_t>(Number("major"));
        v.minor = static_cast<uint32_t>(Number("minor"));
        v.build = static_cast<uint32_t>(Number("build"));
        return v;
    }
    uint64_t TotalPhysicalMemory() const override { return static_cast<uint64_t>(Number("memory")) << 10; }
    int ScreenWidth() const override { return Number("w"); }
    int ScreenHeight() const override { return Number("h"); }
    int BitsPerPixel() const override { return Number("bits"); }
    bool ProcessorName(std::string& name) const override {
        name = m_script.Read("MACHINE", "cpu", 255);
        return !name.empty();
    }

private:
    int Number(const char* key) const { return kq::LeadingNumber(m_script.Read("MACHINE", key, 100)); }
    const kq::ProfileReader& m_script;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kq::IniText script(std::string(reinterpret_cast<const char*>(data), size));

    kq::ConditionList conditions;
    conditions.Load(script);
    CountingActions actions;
    std::string grow = script.Read("MACHINE", "grow", 255);
    kq::ConditionContext context{[&](const std::string& text) { return text + grow; }, &actions};
    for (int i = 0; i < conditions.Count(); ++i) {
        conditions.Evaluate(i, context);
        conditions.IsConditionMet(conditions.At(i).name, context);
        conditions.Fire(conditions.At(i).trigger, context);
        for (const std::string& line : conditions.At(i).actions) kq::ParseAction(line);
    }
    conditions.IsConditionMet("No Condition", context);

    kq::SystemRequirements requirements = kq::ReadSystemRequirements(script);
    kq::FirstFailedRequirement(requirements, ScriptMachine(script));
    // The same bytes serve as the language file.
    for (int check = -1; check <= 5; ++check)
        kq::RequirementMessage(static_cast<kq::Requirement>(check), script, context.expand);
    return 0;
}
