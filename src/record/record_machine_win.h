// The install record's machine on Windows: files, folders, the registry,
// the profile functions, the service control manager and regsvr32.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/no_copy.h"
#include "record/record_removal.h"

namespace kq {

class CWinRecordMachine : public RecordMachine, private NoCopy {
public:
    CWinRecordMachine();
    ~CWinRecordMachine() override;

    // A file read whole stays open until the next call that touches files,
    // so that RemoveFile deletes the very file that was read.
    bool Fingerprint(const std::string& path, FileFingerprint* fingerprint) override;
    // Reads the files ahead on two threads, a bounded number before the one
    // asked for: under the removal's deletes the reads cost little time of
    // their own, and a file is still read only just before its turn.
    void Foresee(const std::vector<std::pair<std::string, FileFingerprint>>& files) override;
    bool IsRunningProgram(const std::string& path) override;
    bool FolderExists(const std::string& path) override;
    // A file that cannot go because it is the running program itself (the
    // maintenance runner removing the last product) moves aside and goes at
    // the next start of the system; its path is free at once.
    bool RemoveFile(const std::string& path) override;
    bool RemoveEmptyFolder(const std::string& path) override;
    // Beside the file ("kq*.tmp" in its folder), so putting it back is a
    // rename on the same volume.
    std::string SetAside(const std::string& path, const std::function<void(const std::string&)>& naming) override;
    bool PutBack(const std::string& copy, const std::string& path) override;
    bool DeleteFolderTree(const std::string& path) override;
    bool KeyExists(RegistryRoot root, const std::string& subKey) override;
    bool DeleteEmptyKey(RegistryRoot root, const std::string& subKey) override;
    bool DeleteKeyTree(RegistryRoot root, const std::string& subKey) override;
    ValueState ReadValue(RegistryRoot root, const std::string& subKey, const std::string& name) override;
    bool WriteValue(RegistryRoot root, const std::string& subKey, const std::string& name,
                    const ValueState& state) override;
    bool ReadIni(const std::string& file, const std::string& section, const std::string& key,
                 std::string* value) override;
    // Deleting the last entry of a section deletes the section too.
    bool WriteIni(const std::string& file, const std::string& section, const std::string& key,
                  const std::string* value) override;
    bool ServiceProgram(const std::string& name, std::string* program) override;
    bool DeleteService(const std::string& name) override;
    // "regsvr32 /u /s", waited for.
    bool UnregisterServer(const std::string& path) override;

private:
    class Ahead;
    // Closes the file Fingerprint left open.
    void Release();

    std::unique_ptr<Ahead> m_ahead;
    HANDLE m_held = INVALID_HANDLE_VALUE;
    std::string m_heldPath;
};

}  // namespace kq
