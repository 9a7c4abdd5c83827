#include "authoring_new.h"

#include <cstdio>
#include <filesystem>
#include <random>

#include "base/file.h"

namespace fs = std::filesystem;

namespace kq {
namespace {

// A fresh product code: two products made from new folders must never share
// one, or installing the second would take over the first's registration.
std::string NewProductCode() {
    std::random_device random;
    unsigned part[8];
    for (unsigned& p : part) p = random() & 0xFFFF;
    char text[40];
    std::snprintf(text, sizeof text, "{%04X%04X-%04X-4%03X-%04X-%04X%04X%04X}", part[0], part[1], part[2],
                  part[3] & 0xFFF, (part[4] & 0x3FFF) | 0x8000, part[5], part[6], part[7]);
    return text;
}

std::string SetupScript(const std::string& name) {
    return "; The setup script. Every section and key is in docs/package-reference.md\r\n"
           "; (kqbuild reference). A line starting with ';' is a comment.\r\n"
           "[APPINFO]\r\n"
           "; The product's name, version and publisher, as the list of installed programs shows them.\r\n"
           "a1=" +
           name +
           "\r\n"
           "a2=1.0.0\r\n"
           "a19=" +
           name +
           " Publisher\r\n"
           "; The product code names the product's registration: keep it for every version.\r\n"
           "a3=" +
           NewProductCode() +
           "\r\n"
           "; Where the product goes; the user may change it on the destination page.\r\n"
           "a4=<ProgramFilesFolder>\\" +
           name +
           "\r\n"
           "Language=English\r\n"
           "\r\n"
           "[BUILDING]\r\n"
           "; Yes: install without pages.\r\n"
           "2=No\r\n"
           "\r\n"
           "[DIALOGLIST]\r\n"
           "; The wizard's pages, layouts of theme\\, in order; TOTAL1 counts them.\r\n"
           "TOTAL1=5\r\n"
           "W0=welcome.lcd\r\n"
           "W1=destination.lcd\r\n"
           "W2=ready.lcd\r\n"
           "W3=progress.lcd\r\n"
           "W4=complete.lcd\r\n"
           "; No offer to start a program or read a file at the end.\r\n"
           "CT9=No\r\n"
           "CT12=No\r\n"
           "\r\n"
           "; data.inf lists the product's files, two lines each: the file in this folder,\r\n"
           "; then Destination Computer\\FOLDER*OPTIONS*MASK*0|FEATURE (see the reference).\r\n";
}

}  // namespace

Status NewAuthoringFolder(const std::string& folder, const std::string& defaultsDir) {
    std::error_code ec;
    const fs::path root(folder);
    if (fs::exists(root, ec) && !fs::is_empty(root, ec)) return Status::Error("\"" + folder + "\" is not empty");
    const fs::path defaults(defaultsDir);
    if (!fs::is_directory(defaults / "theme", ec)) return Status::Error("no default theme in \"" + defaultsDir + "\"");
    fs::create_directories(root / "files", ec);
    for (const char* part : {"theme", "languages", "language.lan"}) {
        fs::copy(defaults / part, root / part, fs::copy_options::recursive, ec);
        if (ec) return Status::Error("cannot copy \"" + (defaults / part).string() + "\": " + ec.message());
    }
    std::string name = root.filename().empty() ? root.parent_path().filename().string() : root.filename().string();
    bool written = WriteWholeFile((root / "setup.inf").string(), SetupScript(name)) &&
                   WriteWholeFile((root / "data.inf").string(),
                                  "files\\readme.txt\r\nDestination Computer\\<InstallDir>*0*0*0|\r\n") &&
                   WriteWholeFile((root / "files" / "readme.txt").string(),
                                  "Put the product's files into files\\ and list each in data.inf.\r\n");
    if (!written) return Status::Error("cannot write into \"" + folder + "\"");
    return Status::Ok();
}

}  // namespace kq
