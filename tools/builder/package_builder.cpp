#include "package_builder.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <system_error>
#include <vector>

#include <libgcab.h>

#include "base/file.h"
#include "base/product.h"
#include "base/text.h"
#include "cabinet_join.h"
#include "crypt/file_crypt.h"
#include "payload_list.h"

namespace fs = std::filesystem;

namespace kq {

namespace {

// One file of the packed set: the name the installer asks for and where the
// builder reads it from.
struct PackedFile {
    std::string name;
    fs::path source;
    bool product = false;  // a file of data.inf ("F<i>_<name>"), not a support file
};

Status Fail(const std::string& text) { return Status::Error(text); }

std::string Quoted(const fs::path& p) { return "'" + p.string() + "'"; }

// The time of the files the builder makes itself, so the same inputs give
// the same package byte for byte: SOURCE_DATE_EPOCH when it is set, as the
// reproducible-build tools set it, or else 2000-01-01 00:00:00 UTC. An odd
// second is rounded down: cabinets keep even seconds only.
time_t MadeFilesTime() {
    const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
    time_t t = 946684800;
    if (epoch != nullptr && *epoch != '\0' && std::strspn(epoch, "0123456789") == std::strlen(epoch))
        t = static_cast<time_t>(std::strtoll(epoch, nullptr, 10));
    return t - t % 2;
}

bool SetMadeTime(const fs::path& path) {
    struct timespec times[2] = {{MadeFilesTime(), 0}, {MadeFilesTime(), 0}};
    return utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

Status ReadWhole(const fs::path& path, const char* what, std::string* text) {
    if (!ReadWholeFile(path.string(), *text)) return Fail(std::string("cannot read ") + what + " " + Quoted(path));
    return Status::Ok();
}

Status CheckRegularFile(const fs::path& path, const std::string& what) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return Fail("missing " + what + " " + Quoted(path));
    std::ifstream probe(path, std::ios::binary);
    if (!probe.is_open()) return Fail("cannot read " + what + " " + Quoted(path));
    return Status::Ok();
}

// Copies a file and keeps its modification time (the installer gives
// installed files the times stored in the package).
Status CopyKeepingTime(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
    if (ec) return Fail("cannot copy " + Quoted(from) + " to " + Quoted(to) + ": " + ec.message());
    const fs::file_time_type t = fs::last_write_time(from, ec);
    if (!ec) fs::last_write_time(to, t, ec);
    if (ec) return Fail("cannot set the time of " + Quoted(to) + ": " + ec.message());
    return Status::Ok();
}

Status CopyTree(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    fs::create_directories(to, ec);
    if (ec) return Fail("cannot create " + Quoted(to) + ": " + ec.message());
    for (fs::recursive_directory_iterator it(from, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path rel = fs::relative(it->path(), from, ec);
        if (ec) break;
        if (it->is_directory(ec)) {
            fs::create_directories(to / rel, ec);
            if (ec) return Fail("cannot create " + Quoted(to / rel) + ": " + ec.message());
        } else if (it->is_regular_file(ec)) {
            Status st = CopyKeepingTime(it->path(), to / rel);
            if (!st) return st;
        } else {
            return Fail("not a plain file: " + Quoted(it->path()));
        }
    }
    if (ec) return Fail("cannot read folder " + Quoted(from) + ": " + ec.message());
    return Status::Ok();
}

Status Encrypt(CFileCrypt& crypt, const fs::path& from, const fs::path& to) {
    Status st = crypt.EncryptFile(from.string().c_str(), to.string().c_str());
    if (!st) return Fail("cannot encrypt " + Quoted(from) + ": " + st.message());
    return Status::Ok();
}

// Writes the packed set as MSZIP folders, each file with its modification
// time as local time (cabinet times are local; the installer converts back).
// Support files and product files never share a folder, and a folder closes
// once it holds kFolderTarget bytes: folders decode independently, so the
// installer decodes the next while it writes the last, holding little of
// the payload at once, and start-up decodes only the support files' folder.
constexpr uintmax_t kFolderTarget = 512u << 10;

// One folder as a whole cabinet in memory.
Status WriteFolder(const std::vector<const PackedFile*>& files, std::string* bytes) {
    GError* error = nullptr;
    GCabCabinet* cabinet = gcab_cabinet_new();
    GCabFolder* folder = gcab_folder_new(GCAB_COMPRESSION_MSZIP);
    std::string problem;
    for (const PackedFile* f : files) {
        GFile* gfile = g_file_new_for_path(f->source.c_str());
        GCabFile* cabFile = gcab_file_new_with_file(f->name.c_str(), gfile);
        g_object_unref(gfile);
        if (!gcab_folder_add_file(folder, cabFile, FALSE, nullptr, &error)) {
            problem = "cannot add " + Quoted(f->source) + " to the cabinet: " + error->message;
            g_object_unref(cabFile);
            break;
        }
        struct stat info;
        if (stat(f->source.c_str(), &info) != 0) {
            problem = "cannot read the time of " + Quoted(f->source);
            g_object_unref(cabFile);
            break;
        }
        GDateTime* when = g_date_time_new_from_unix_local(info.st_mtime);
        if (when != nullptr) {
            gcab_file_set_date_time(cabFile, when);
            g_date_time_unref(when);
        }
        gcab_file_set_attributes(cabFile, GCAB_FILE_ATTRIBUTE_ARCH);
        g_object_unref(cabFile);
    }
    if (problem.empty() && !gcab_cabinet_add_folder(cabinet, folder, &error)) {
        problem = std::string("cannot build the cabinet: ") + error->message;
    }
    if (problem.empty()) {
        GOutputStream* stream = g_memory_output_stream_new_resizable();
        if (!gcab_cabinet_write_simple(cabinet, stream, nullptr, nullptr, nullptr, &error) ||
            !g_output_stream_close(stream, nullptr, &error)) {
            problem = std::string("cannot write the cabinet: ") + error->message;
        } else {
            GMemoryOutputStream* memory = G_MEMORY_OUTPUT_STREAM(stream);
            bytes->assign(static_cast<const char*>(g_memory_output_stream_get_data(memory)),
                          g_memory_output_stream_get_data_size(memory));
        }
        g_object_unref(stream);
    }
    if (error != nullptr) g_error_free(error);
    g_object_unref(folder);
    g_object_unref(cabinet);
    return problem.empty() ? Status::Ok() : Fail(problem);
}

PackProgress ProgressTotals(const std::vector<PackedFile>& files) {
    PackProgress progress;
    std::error_code ec;
    progress.files = files.size();
    for (const PackedFile& f : files) progress.bytes += fs::file_size(f.source, ec);
    return progress;
}

Status WriteCabinet(const std::vector<PackedFile>& files, const fs::path& cabPath, const BuildOptions& options) {
    PackProgress progress = ProgressTotals(files);
    std::vector<std::vector<const PackedFile*>> folders;
    uintmax_t folderBytes = 0;
    for (const PackedFile& f : files) {
        if (folders.empty() || folderBytes >= kFolderTarget || folders.back().back()->product != f.product) {
            folders.emplace_back();
            folderBytes = 0;
        }
        std::error_code ec;
        folderBytes += fs::file_size(f.source, ec);
        folders.back().push_back(&f);
    }
    std::vector<std::string> parts(folders.size());
    for (size_t i = 0; i < folders.size(); ++i) {
        Status st = WriteFolder(folders[i], &parts[i]);
        if (!st) return st;
        if (!options.progress) continue;
        std::error_code ec;
        for (const PackedFile* f : folders[i]) progress.bytesDone += fs::file_size(f->source, ec);
        progress.filesDone += folders[i].size();
        options.progress(progress);
    }
    std::string cabinet;
    Status st = JoinCabinets(parts, &cabinet);
    if (!st) return Fail("cannot build the cabinet: " + st.message());
    if (!WriteWholeFile(cabPath.string(), cabinet)) return Fail("cannot write " + Quoted(cabPath));
    return Status::Ok();
}

// The package folder is about to be replaced: only an earlier package or an
// empty folder may go, never a folder the author did not mean.
Status CheckTarget(const fs::path& authoring, const fs::path& package) {
    std::error_code ec;
    const fs::path a = fs::weakly_canonical(authoring, ec);
    const fs::path p = fs::weakly_canonical(package, ec);
    if (ec) return Fail("cannot resolve " + Quoted(package) + ": " + ec.message());
    auto inside = [](const fs::path& child, const fs::path& parent) {
        auto c = child.begin();
        for (auto q = parent.begin(); q != parent.end(); ++q, ++c) {
            if (c == child.end() || *c != *q) return false;
        }
        return true;
    };
    if (inside(p, a) || inside(a, p)) {
        return Fail("the package folder " + Quoted(package) + " must lie outside the authoring folder " +
                    Quoted(authoring) + " and not contain it");
    }
    if (!fs::exists(package, ec)) return Status::Ok();
    if (!fs::is_directory(package, ec)) return Fail(Quoted(package) + " exists and is not a folder");
    if (!fs::is_empty(package, ec) && !fs::exists(package / "setup.nsx", ec)) {
        return Fail(Quoted(package) + " exists and is not a package (no setup.nsx); not replacing it");
    }
    return Status::Ok();
}

// Everything the installer reads from the packed set, with its source; no
// two names alike (Windows names ignore case).
class PackedSet {
public:
    Status Add(const std::string& name, const fs::path& source, const std::string& origin, bool product = false) {
        auto [it, fresh] = m_taken.emplace(AsciiLower(name), origin);
        if (!fresh) return Fail("two files would be packed as \"" + name + "\": " + it->second + " and " + origin);
        Status s = CheckRegularFile(source, "payload file");
        if (!s) return Fail(s.message() + " (" + origin + ")");
        m_files.push_back({name, source, product});
        return Status::Ok();
    }

    // Support files first, product files after them in data.inf's order:
    // the start-up needs only the support files, and with them at the front
    // of the cabinet it reaches them without decoding the whole payload.
    std::vector<PackedFile>& Ordered() {
        std::stable_partition(m_files.begin(), m_files.end(), [](const PackedFile& f) { return !f.product; });
        return m_files;
    }

private:
    std::vector<PackedFile> m_files;
    std::map<std::string, std::string> m_taken;  // lower-cased name -> origin
};

Status ReadFileList(const fs::path& dataInf, std::vector<PayloadEntry>* entries) {
    std::string dataText;
    Status st = CheckRegularFile(dataInf, "file list");
    if (!st) return st;
    st = ReadWhole(dataInf, "file list", &dataText);
    if (!st) return st;
    st = ReadPayloadList(dataText, entries);
    if (!st) return Fail(Quoted(dataInf) + ": " + st.message());
    return Status::Ok();
}

// The product files of data.inf, the authoring folder's support/ and the
// support files named on the command line.
Status CollectPacked(const BuildOptions& options, const fs::path& authoring,
                     const std::vector<PayloadEntry>& entries, PackedSet* packed) {
    std::error_code ec;
    Status st = Status::Ok();
    for (const PayloadEntry& e : entries) {
        if (e.web) continue;
        st = packed->Add(e.storedName, authoring / fs::path(e.localPath), "data.inf line " + std::to_string(e.line),
                         true);
        if (!st) return st;
    }
    const fs::path supportDir = authoring / "support";
    if (fs::is_directory(supportDir, ec)) {
        std::vector<fs::path> names;
        for (fs::directory_iterator it(supportDir, ec), end; !ec && it != end; it.increment(ec)) {
            if (!it->is_regular_file(ec)) return Fail("support files must be plain files: " + Quoted(it->path()));
            names.push_back(it->path());
        }
        if (ec) return Fail("cannot read folder " + Quoted(supportDir) + ": " + ec.message());
        std::sort(names.begin(), names.end());
        for (const fs::path& p : names) {
            st = packed->Add(p.filename().string(), p, "support/" + p.filename().string());
            if (!st) return st;
        }
    }
    for (const std::string& s : options.support) {
        const fs::path p(s);
        st = packed->Add(p.filename().string(), p, "--support " + s);
        if (!st) return st;
    }
    return Status::Ok();
}

Status EncryptScripts(const fs::path& setupInf, const fs::path& dataInf, const fs::path& out) {
    CFileCrypt crypt;
    Status st = KeyForPackage(crypt);
    if (!st) return st;
    st = Encrypt(crypt, setupInf, out / "setup.nsx");
    if (!st) return st;
    st = Encrypt(crypt, dataInf, out / "data.nsx");
    if (st && !(SetMadeTime(out / "setup.nsx") && SetMadeTime(out / "data.nsx")))
        st = Fail("cannot set the time of the scripts in " + Quoted(out));
    return st;
}

// Root files, the theme folder and the language packs.
Status CopyRootFiles(const BuildOptions& options, const fs::path& authoring, const fs::path& out) {
    static const char* const kReserved[] = {"setup.inf", "data.inf", "setup.nsx", "data.nsx", "file1.cab"};
    std::error_code ec;
    Status st = Status::Ok();
    for (fs::directory_iterator it(authoring, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (it->is_directory(ec)) {
            if (name == "theme" || name == "languages") {
                st = CopyTree(it->path(), out / name);
                if (!st) return st;
            }
            continue;  // files/ and support/ travel packed; other folders are the author's
        }
        if (!it->is_regular_file(ec)) continue;
        const std::string lower = AsciiLower(name);
        if (std::find(std::begin(kReserved), std::end(kReserved), lower) != std::end(kReserved)) {
            if (lower == "setup.inf" || lower == "data.inf") continue;
            return Fail(Quoted(it->path()) + " would overwrite a file the builder makes");
        }
        if (lower == "setup.exe" && !options.setupExe.empty()) {
            return Fail("setup.exe given twice: " + Quoted(it->path()) + " and --setup-exe " + options.setupExe);
        }
        st = CopyKeepingTime(it->path(), out / name);
        if (!st) return st;
    }
    if (ec) return Fail("cannot read folder " + Quoted(authoring) + ": " + ec.message());
    if (options.setupExe.empty()) return Status::Ok();
    st = CheckRegularFile(options.setupExe, "setup program");
    if (!st) return st;
    return CopyKeepingTime(options.setupExe, out / "setup.exe");
}

Status WriteDiskImage(const std::vector<PackedFile>& packed, const fs::path& out, const BuildOptions& options) {
    PackProgress progress = ProgressTotals(packed);
    std::error_code ec;
    const fs::path image = out / kDiskImageFolder;
    fs::create_directory(image, ec);
    if (ec) return Fail("cannot create " + Quoted(image) + ": " + ec.message());
    for (const PackedFile& f : packed) {
        Status st = CopyKeepingTime(f.source, image / f.name);
        if (!st) return st;
        if (!options.progress) continue;
        progress.bytesDone += fs::file_size(f.source, ec);
        ++progress.filesDone;
        options.progress(progress);
    }
    return Status::Ok();
}

Status Populate(const BuildOptions& options, const fs::path& authoring, const fs::path& out) {
    const fs::path setupInf = authoring / "setup.inf";
    const fs::path dataInf = authoring / "data.inf";
    Status st = CheckRegularFile(setupInf, "setup script");
    if (!st) return st;
    std::vector<PayloadEntry> entries;
    st = ReadFileList(dataInf, &entries);
    if (!st) return st;
    PackedSet packed;
    st = CollectPacked(options, authoring, entries, &packed);
    if (!st) return st;
    st = EncryptScripts(setupInf, dataInf, out);
    if (!st) return st;
    st = CopyRootFiles(options, authoring, out);
    if (!st) return st;
    if (options.layout == PackageLayout::kDiskImage) return WriteDiskImage(packed.Ordered(), out, options);
    return WriteCabinet(packed.Ordered(), out / "file1.cab", options);
}

}  // namespace

std::string PackProgressLine(const PackProgress& progress, double seconds) {
    char line[160];
    const double mb = 1024.0 * 1024.0;
    int n = std::snprintf(line, sizeof line, "packing %zu/%zu files, %.1f of %.1f MB", progress.filesDone,
                          progress.files, progress.bytesDone / mb, progress.bytes / mb);
    if (seconds >= 0.1 && n > 0 && static_cast<size_t>(n) < sizeof line)
        std::snprintf(line + n, sizeof line - n, ", %.1f MB/s", progress.bytesDone / mb / seconds);
    return line;
}

Status BuildPackage(const BuildOptions& options) {
    std::error_code ec;
    const fs::path authoring(options.authoringDir);
    fs::path package(options.packageDir);
    while (package.has_filename() == false && package.has_parent_path() && package != package.root_path()) {
        package = package.parent_path();  // "pkg/" -> "pkg"
    }
    if (!fs::is_directory(authoring, ec)) return Fail("authoring folder " + Quoted(authoring) + " not found");
    if (package.empty() || !package.has_filename() || package.filename() == "." || package.filename() == "..") {
        return Fail("unusable package folder " + Quoted(options.packageDir));
    }
    Status st = CheckTarget(authoring, package);
    if (!st) return st;

    // A sibling, so the final rename stays on one file system.
    const fs::path parent = package.has_parent_path() ? package.parent_path() : fs::path(".");
    // The package may be the first thing in a new output folder.
    fs::create_directories(parent, ec);
    std::string pattern = (parent / (package.filename().string() + ".kqbuild-XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr) return Fail("cannot create a temporary folder next to " + Quoted(package));
    const fs::path temp(pattern);

    st = Populate(options, authoring, temp);
    if (st) {
        // mkdtemp makes the folder private; a package is meant to be shared.
        fs::permissions(temp, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec, ec);
        if (!fs::exists(package, ec)) {
            fs::rename(temp, package, ec);
            if (ec) st = Fail("cannot move the package into " + Quoted(package) + ": " + ec.message());
        } else if (renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, package.c_str(), RENAME_EXCHANGE) == 0) {
            // Swapped in one step; the old package now sits in the temporary folder.
        } else {
            // No atomic exchange on this file system: move the old one aside first.
            const fs::path aside = temp.string() + ".old";
            fs::rename(package, aside, ec);
            if (!ec) {
                fs::rename(temp, package, ec);
                if (ec) {
                    std::error_code back;
                    fs::rename(aside, package, back);
                } else {
                    fs::remove_all(aside, ec);
                    ec.clear();
                }
            }
            if (ec) st = Fail("cannot replace " + Quoted(package) + ": " + ec.message());
        }
    }
    std::error_code ignored;
    fs::remove_all(temp, ignored);
    return st;
}

}  // namespace kq
