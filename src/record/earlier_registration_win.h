// The uninstall log and install record of an earlier installation of the
// same product, kept aside while a reinstall or repair runs over it. The new
// run writes its own log and record under the usual names; only when it has
// committed do the earlier ones go. A run that ends otherwise (cancelled,
// failed, rolled back, a preview) puts them back, so the earlier product
// stays registered and removable.
#pragma once
#include <string>
#include <vector>

namespace kq {

class CEarlierRegistration {
public:
    // Moves each existing file of `paths` to its name with ".earlier"
    // appended (replacing a leftover one). False when one exists and cannot
    // be moved: this run must not write over it.
    bool SetAside(const std::vector<std::string>& paths);
    // After a run that was interrupted: takes each of `paths` that has a
    // file kept aside as set aside by this object.
    void FindSetAside(const std::vector<std::string>& paths);
    // The run ended without committing: its own files go, the earlier ones
    // come back under their names.
    void Restore();
    // The run committed: the earlier files are no longer needed.
    void Discard();
    // After a run that was killed with a final record in place: a kept file
    // the run had written anew goes, one it had not reached (killed while
    // they were set aside) comes back.
    void Settle();
    // An earlier installation's files are kept aside: its registration (the
    // Uninstall key, the maintenance folder) is not this run's to remove.
    bool HasEarlier() const { return !m_paths.empty(); }
    // Where `path` is kept aside.
    static std::string AsideName(const std::string& path) { return path + ".earlier"; }

private:
    std::vector<std::string> m_paths;  // the ones that were set aside
};

}  // namespace kq
