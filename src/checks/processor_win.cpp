#include "checks/processor.h"

#include <windows.h>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#define KQ_HAS_CPUID 1
#else
#define KQ_HAS_CPUID 0
#endif

namespace kq {
namespace {

#if KQ_HAS_CPUID
// __get_cpuid tests the identification flag of EFLAGS (on i686; every x86_64
// processor has the instruction) and the highest leaf before it executes the
// instruction, so a processor without it answers false instead of faulting.
bool ReadCpuid(CpuidAnswers& answers) {
    unsigned int a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(0, &a, &b, &c, &d)) return false;
    answers.vendor[0] = b;
    answers.vendor[1] = d;
    answers.vendor[2] = c;
    if (__get_cpuid(1, &a, &b, &c, &d)) {
        answers.signature = a;
        answers.features = d;
    }
    if (__get_cpuid(0x80000001u, &a, &b, &c, &d)) answers.extendedFeatures = d;
    return true;
}

uint64_t TimeStamp() { return __builtin_ia32_rdtsc(); }
#else
bool ReadCpuid(CpuidAnswers&) { return false; }
uint64_t TimeStamp() { return 0; }
#endif

}  // namespace

bool CProcessor::Identify() {
    CpuidAnswers answers;
    if (!ReadCpuid(answers)) return false;
    Decode(answers);
    MeasureClock();
    return true;
}

void CProcessor::MeasureClock() {
    LARGE_INTEGER frequency, start, now;
    if (!::QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0) return;
    ::QueryPerformanceCounter(&start);
    const uint64_t first = TimeStamp();
    do {
        ::QueryPerformanceCounter(&now);
    } while (now.QuadPart - start.QuadPart < frequency.QuadPart);
    m_clocksPerSecond = TimeStamp() - first;
}

}  // namespace kq
