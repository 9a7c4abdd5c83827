// A step's machine as the install run hands it to the step: the Windows
// machine, wrapped either by its recorder (an installation fills the
// install record as it goes) or by its plan machine (/PLAN lists the same
// changes and makes none). Every step is wired this one way; the step sees
// only the machine interface.
#pragma once
#include <optional>

#include "base/no_copy.h"
#include "record/install_record.h"
#include "record/record_removal.h"

namespace kq {

template <typename Machine, typename Recording, typename Planning>
class StepMachine : private NoCopy {
public:
    StepMachine(bool plan, Machine& real, RecordMachine& state, InstallRecord& record) {
        if (plan) m_planning.emplace(real, state, record);
        else m_recording.emplace(real, state, record);
    }

    Machine& operator*() {
        if (m_planning) return *m_planning;
        return *m_recording;
    }
    // The wrapper in use; nullptr for the other one.
    Recording* Recorder() { return m_recording ? &*m_recording : nullptr; }
    Planning* Planner() { return m_planning ? &*m_planning : nullptr; }

private:
    std::optional<Recording> m_recording;
    std::optional<Planning> m_planning;
};

}  // namespace kq
