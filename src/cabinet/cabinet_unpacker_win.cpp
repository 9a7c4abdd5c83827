#include "cabinet/cabinet_win.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "run/file_list.h"

namespace kq {

// One thread unpacking folders ahead, with a decoder of its own.
struct CCabinetUnpacker::Worker {
    CCabinetReader reader;
    std::thread thread;
};

struct CCabinetUnpacker::Ahead {
    // A folder unpacked: its entries one after the other in one buffer (one
    // large block, which goes back to the system whole when freed), and
    // where each entry lies in it, by the entry's place in the folder; an
    // entry that failed has kFailed for its length.
    struct Held {
        static constexpr size_t kFailed = size_t(-1);
        std::string bytes;
        std::vector<std::pair<size_t, size_t>> spans;  // offset and length
    };
    enum class Stage : unsigned char { kDirect, kWaiting, kUnpacking, kReady, kGone };

    std::function<bool()> stop;
    std::atomic<bool> quit{false};
    std::mutex mutex;
    std::condition_variable changed;
    int asked = -1;                            // the last folder an entry was asked for in
    std::vector<int> holders;                  // by folder, callers holding one of its entries
    std::vector<Stage> stage;                  // by folder
    // A folder's entries, in cabinet order, as runs of neighbours: the
    // builder packs a folder's files one after the other, so a folder of
    // many files takes one run.
    struct Run {
        size_t first;
        size_t count;
        size_t before;  // entries of the folder in the runs before it
    };
    std::vector<std::vector<Run>> entries;     // by folder
    std::vector<int> queue;                    // the folders unpacked ahead, in cabinet order
    size_t taken = 0;                          // how many of them a worker has begun
    std::map<int, Held> ready;                 // unpacked and not yet passed by the copy step
    // Buffers of folders passed, for the next folders: memory the system
    // has already handed over costs nothing to fill again.
    std::vector<std::string> spare;
    uint64_t inUse = 0;                        // bytes of the folders ready or being unpacked
    int running = 0;                           // workers not yet ended
    std::vector<std::unique_ptr<Worker>> workers;

    // Where `entry` is among its folder's entries.
    size_t PlaceOf(int folder, size_t entry) const {
        const std::vector<Run>& runs = entries[size_t(folder)];
        auto after =
            std::upper_bound(runs.begin(), runs.end(), entry, [](size_t e, const Run& run) { return e < run.first; });
        if (after == runs.begin()) return SIZE_MAX;
        const Run& run = *(after - 1);
        return entry < run.first + run.count ? run.before + (entry - run.first) : SIZE_MAX;
    }
    uint64_t SpareBytes() const {
        uint64_t bytes = 0;
        for (const std::string& buffer : spare) bytes += buffer.capacity();
        return bytes;
    }
    // Whether a folder of `bytes` may be begun now (called under the lock).
    // A spare buffer large enough is used again as it is; otherwise spare
    // buffers that keep it from fitting the budget are freed first.
    bool Room(uint64_t bytes) {
        for (const std::string& buffer : spare) {
            if (buffer.capacity() >= bytes) return true;
        }
        while (!spare.empty() && !MayUnpackAhead(inUse + SpareBytes(), bytes, kAheadBudget)) spare.pop_back();
        return MayUnpackAhead(inUse + SpareBytes(), bytes, kAheadBudget);
    }
    // A folder ready and passed by the callers (called under the lock): its
    // buffer becomes a spare one.
    void Free(int folder, uint64_t bytes) {
        auto passed = ready.find(folder);
        if (passed == ready.end()) return;
        stage[size_t(folder)] = Stage::kGone;
        inUse -= bytes;
        spare.push_back(std::move(passed->second.bytes));
        ready.erase(passed);
    }
    // A buffer for a folder of `bytes`: a spare one that holds it, or none.
    std::string TakeBuffer(uint64_t bytes) {
        for (auto buffer = spare.begin(); buffer != spare.end(); ++buffer) {
            if (buffer->capacity() < bytes) continue;
            std::string taken = std::move(*buffer);
            spare.erase(buffer);
            return taken;
        }
        return std::string();
    }
};

CCabinetUnpacker::CCabinetUnpacker() = default;

CCabinetUnpacker::~CCabinetUnpacker() {
    if (m_ahead == nullptr) return;
    {
        std::lock_guard<std::mutex> lock(m_ahead->mutex);
        m_ahead->quit = true;
    }
    m_ahead->changed.notify_all();
    for (auto& worker : m_ahead->workers) {
        if (worker->thread.joinable()) worker->thread.join();
    }
}

int CCabinetUnpacker::Open(const char* cabinetPath, std::function<bool()> stop) {
    const int result = m_reader.Open(cabinetPath);
    if (result == kCabinetOk) StartAhead(std::move(stop));
    return result;
}

int CCabinetUnpacker::Open(const CCabinetReader& opened, std::function<bool()> stop) {
    const int result = m_reader.Share(opened);
    if (result == kCabinetOk) StartAhead(std::move(stop));
    return result;
}

void CCabinetUnpacker::StartAhead(std::function<bool()> stop) {
    // The product's folders that are small enough are unpacked ahead, in
    // cabinet order.
    auto ahead = std::make_unique<Ahead>();
    const int folderCount = m_reader.FolderCount();
    ahead->stage.assign(size_t(folderCount), Ahead::Stage::kDirect);
    ahead->holders.assign(size_t(folderCount), 0);
    ahead->entries.resize(size_t(folderCount));
    std::vector<bool> product(size_t(folderCount), false);
    for (size_t i = 0; i < m_reader.EntryCount(); ++i) {
        const int folder = m_reader.FolderOf(i);
        if (folder < 0) continue;
        std::vector<Ahead::Run>& runs = ahead->entries[size_t(folder)];
        if (!runs.empty() && runs.back().first + runs.back().count == i) ++runs.back().count;
        else runs.push_back({i, 1, runs.empty() ? 0 : runs.back().before + runs.back().count});
        if (IsPackedEntryName(m_reader.WrittenName(i))) product[size_t(folder)] = true;
    }
    for (int folder = 0; folder < folderCount; ++folder) {
        if (!product[size_t(folder)] || m_reader.FolderBytes(folder) > kAheadLimit) continue;
        ahead->stage[size_t(folder)] = Ahead::Stage::kWaiting;
        ahead->queue.push_back(folder);
    }
    if (ahead->queue.empty()) return;
    ahead->stop = std::move(stop);
    m_ahead = std::move(ahead);
    // Workers begin under the lock: none ends before all are counted.
    std::lock_guard<std::mutex> lock(m_ahead->mutex);
    for (int w = 0; w < kWorkers && size_t(w) < m_ahead->queue.size(); ++w) {
        auto worker = std::make_unique<Worker>();
        if (worker->reader.Share(m_reader) != kCabinetOk) continue;
        try {
            worker->thread = std::thread(&CCabinetUnpacker::RunWorker, this, int(m_ahead->workers.size()));
        } catch (const std::system_error&) {
            continue;  // no thread to be had: the folders are unpacked as they are asked for
        }
        m_ahead->workers.push_back(std::move(worker));
        ++m_ahead->running;
    }
}

bool CCabinetUnpacker::IsOpen() const { return m_reader.IsOpen(); }

size_t CCabinetUnpacker::EntryCount() const { return m_reader.EntryCount(); }

size_t CCabinetUnpacker::Find(const std::string& name) const { return m_reader.Find(name); }

uint64_t CCabinetUnpacker::EntryBytes(size_t entry) const {
    return m_reader.EntryBytes(entry);
}

void CCabinetUnpacker::RunWorker(int index) {
    Ahead& ahead = *m_ahead;
    CCabinetReader* reader = nullptr;
    {
        // Open() is still adding workers; the list is read under its lock.
        std::lock_guard<std::mutex> lock(ahead.mutex);
        reader = &ahead.workers[size_t(index)]->reader;
    }
    const auto stop = [&ahead] { return ahead.quit.load() || (ahead.stop && ahead.stop()); };
    for (;;) {
        int folder = -1;
        Ahead::Held unpacked;
        {
            std::unique_lock<std::mutex> lock(ahead.mutex);
            ahead.changed.wait(lock, [&] {
                return ahead.quit || ahead.taken == ahead.queue.size() || ahead.asked > ahead.queue[ahead.taken] ||
                       ahead.Room(reader->FolderBytes(ahead.queue[ahead.taken]));
            });
            if (ahead.quit || ahead.taken == ahead.queue.size()) break;
            folder = ahead.queue[ahead.taken++];
            if (ahead.asked > folder) {
                ahead.stage[size_t(folder)] = Ahead::Stage::kGone;  // the copy step is past it
                ahead.changed.notify_all();
                continue;
            }
            ahead.stage[size_t(folder)] = Ahead::Stage::kUnpacking;
            ahead.inUse += reader->FolderBytes(folder);
            unpacked.bytes = ahead.TakeBuffer(reader->FolderBytes(folder));
        }
        unpacked.bytes.clear();
        unpacked.bytes.reserve(size_t(reader->FolderBytes(folder)));
        bool stopped = false;
        for (const Ahead::Run& run : ahead.entries[size_t(folder)]) {
            for (size_t entry = run.first; entry < run.first + run.count && !stopped; ++entry) {
                const size_t start = unpacked.bytes.size();
                const EntryResult result = reader->ExtractToMemory(entry, unpacked.bytes, stop);
                if (result == EntryResult::kStopped) {
                    stopped = true;
                } else if (result == EntryResult::kDone) {
                    unpacked.spans.emplace_back(start, unpacked.bytes.size() - start);
                } else {
                    // A failed entry is left to the copy step, which tells why.
                    unpacked.bytes.resize(start);
                    unpacked.spans.emplace_back(start, Ahead::Held::kFailed);
                }
            }
        }
        {
            std::lock_guard<std::mutex> lock(ahead.mutex);
            // Unless the copy step went past it meanwhile.
            if (ahead.asked <= folder) {
                ahead.ready[folder] = std::move(unpacked);
                ahead.stage[size_t(folder)] = Ahead::Stage::kReady;
            } else {
                ahead.stage[size_t(folder)] = Ahead::Stage::kGone;
                ahead.inUse -= reader->FolderBytes(folder);
                ahead.spare.push_back(std::move(unpacked.bytes));
            }
        }
        ahead.changed.notify_all();
        if (stopped) break;
    }
    {
        std::lock_guard<std::mutex> lock(ahead.mutex);
        --ahead.running;
    }
    ahead.changed.notify_all();
}

EntryResult CCabinetUnpacker::Extract(size_t entry, const std::string& target, const EntryHooks& hooks) {
    Held held;
    if (Hold(entry, &held)) {
        const EntryResult result = WriteHeld(held, target, hooks);
        Release(held);
        return result;
    }
    std::lock_guard<std::mutex> direct(m_direct);
    return m_reader.Extract(entry, target, hooks);
}

bool CCabinetUnpacker::Hold(size_t entry, Held* held) {
    if (m_ahead == nullptr || entry >= m_reader.EntryCount() || m_reader.FolderOf(entry) < 0) return false;
    Ahead& ahead = *m_ahead;
    const int folder = m_reader.FolderOf(entry);
    std::unique_lock<std::mutex> lock(ahead.mutex);
    ahead.asked = std::max(ahead.asked, folder);
    // The folders behind the callers are not needed again: the workers may
    // go on.
    bool freed = false;
    for (auto ready = ahead.ready.begin(); ready != ahead.ready.end() && ready->first < folder;) {
        if (ahead.holders[size_t(ready->first)] > 0) {
            ++ready;
            continue;
        }
        const int passed = ready->first;
        ++ready;
        ahead.Free(passed, m_reader.FolderBytes(passed));
        freed = true;
    }
    if (freed) ahead.changed.notify_all();
    // A folder not yet begun is next for a worker: every folder before it
    // is begun, and those held are behind the callers, so none blocks it.
    using Stage = Ahead::Stage;
    ahead.changed.wait(lock, [&] {
        const Stage stage = ahead.stage[size_t(folder)];
        return stage == Stage::kDirect || stage == Stage::kReady || stage == Stage::kGone ||
               (stage == Stage::kWaiting && ahead.running == 0);
    });
    auto ready = ahead.ready.find(folder);
    if (ready == ahead.ready.end()) return false;
    const size_t place = ahead.PlaceOf(folder, entry);
    const auto& spans = ready->second.spans;
    if (place >= spans.size() || spans[place].second == Ahead::Held::kFailed) return false;
    // The buffer stays while it is held, and only a caller frees it: it can
    // be read unlocked.
    ++ahead.holders[size_t(folder)];
    *held = {entry, folder, ready->second.bytes.data() + spans[place].first, spans[place].second};
    return true;
}

EntryResult CCabinetUnpacker::WriteHeld(const Held& held, const std::string& target, const EntryHooks& hooks) {
    return m_reader.WriteEntry(held.entry, held.bytes, held.length, target, hooks);
}

void CCabinetUnpacker::Release(const Held& held) {
    Ahead& ahead = *m_ahead;
    {
        std::lock_guard<std::mutex> lock(ahead.mutex);
        if (--ahead.holders[size_t(held.folder)] > 0 || held.folder >= ahead.asked) return;
        // Passed while it was held: the last holder frees it, as a caller
        // waiting for a worker that waits for room will not.
        ahead.Free(held.folder, m_reader.FolderBytes(held.folder));
    }
    ahead.changed.notify_all();
}

}  // namespace kq
