// Release archives for the updater tests, well-formed or hostile, their signatures, and
// stand-in processes.
#pragma once

#include <archive.h>
#include <archive_entry.h>
#include <sodium.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "updater/bundle.h"
#include "updater/manifest.h"

extern char** environ;

namespace ivo::testing {

struct TarEntry {
    enum Kind { file, dir, symlink, hardlink, chardev, fifo };
    TarEntry(Kind k, std::string p, std::string d = {}, std::string t = {}, int m = 0644)
        : kind(k), path(std::move(p)), data(std::move(d)), target(std::move(t)), mode(m) {}
    Kind kind;
    std::string path, data, target;  // a file's content, a link's target
    int mode;
};

inline void writeTar(const std::string& file, const std::vector<TarEntry>& entries) {
    archive* a = archive_write_new();
    archive_write_set_format_pax_restricted(a);
    archive_write_add_filter_xz(a);
    archive_write_open_filename(a, file.c_str());
    static const unsigned types[] = {AE_IFREG, AE_IFDIR, AE_IFLNK, AE_IFREG, AE_IFCHR, AE_IFIFO};
    for (const TarEntry& e : entries) {
        archive_entry* en = archive_entry_new();
        archive_entry_set_pathname(en, e.path.c_str());
        archive_entry_set_filetype(en, types[e.kind]);
        if (e.kind == TarEntry::file) archive_entry_set_size(en, la_int64_t(e.data.size()));
        if (e.kind == TarEntry::symlink) archive_entry_set_symlink(en, e.target.c_str());
        if (e.kind == TarEntry::hardlink) archive_entry_set_hardlink(en, e.target.c_str());
        if (e.kind == TarEntry::chardev) archive_entry_set_rdev(en, 0x0103);  // like /dev/null
        archive_entry_set_perm(en, mode_t(e.mode));
        archive_write_header(a, en);
        if (e.kind == TarEntry::file) archive_write_data(a, e.data.data(), e.data.size());
        archive_entry_free(en);
    }
    archive_write_close(a);
    archive_write_free(a);
}

// A stand-in for the application: "--version" runs `onVersion` and exits with `versionStatus`;
// otherwise it writes "`tag` <its path>" to `startLog` (when given).
inline std::string standInProgram(const std::string& tag, const std::string& startLog = {},
                                  int versionStatus = 0, const std::string& onVersion = {}) {
    return "#!/bin/sh\nif [ \"$1\" = --version ]; then " + onVersion + " exit " +
           std::to_string(versionStatus) + "; fi\n" +
           (startLog.empty()
                ? ""
                : "printf '%s\\n' \"" + tag + " $0\" > " + shellQuote(startLog) + "\n");
}

inline std::string markerText(int build, const std::string& version) {
    return "{\"build\": " + std::to_string(build) + ", \"version\": \"" + version + "\"}";
}

// An application folder on disk with `program` as bin/ivorane3d.
inline void writeApp(const std::string& dir, int build, const std::string& version,
                     const std::string& program) {
    std::filesystem::create_directories(dir + "/bin");
    std::ofstream(dir + "/bin/ivorane3d") << program;
    std::filesystem::permissions(dir + "/bin/ivorane3d", std::filesystem::perms(0755));
    std::ofstream(dir + "/" + bundleMarker) << markerText(build, version);
}

// The entries of a well-formed application folder `top` of `build`, version "v<build>".
inline std::vector<TarEntry> bundleEntries(const std::string& top, int build,
                                           const std::string& startLog = {}) {
    const std::string v = "v" + std::to_string(build);
    return {{TarEntry::dir, top + "/", {}, {}, 0755},
            {TarEntry::dir, top + "/bin/", {}, {}, 0755},
            {TarEntry::file, top + "/bin/ivorane3d", standInProgram(v, startLog), {}, 0755},
            {TarEntry::file, top + "/" + bundleMarker, markerText(build, v)},
            {TarEntry::dir, top + "/share/", {}, {}, 0755},
            {TarEntry::symlink, top + "/share/programme", {}, "../bin/ivorane3d", 0777}};
}

inline std::vector<std::string> listing(const std::string& root) {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root))
        out.push_back(std::filesystem::relative(e.path(), root).string());
    std::sort(out.begin(), out.end());
    return out;
}

// Starts `args` (the program's full path first); -1 when it cannot.
inline pid_t spawn(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    return posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) == 0 ? pid : -1;
}

// The exit status of `pid` once it has ended, or -1 when it did not exit normally.
inline int waitFor(pid_t pid) {
    int status = 0;
    return waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct KeyPair {
    unsigned char pk[crypto_sign_PUBLICKEYBYTES];
    unsigned char sk[crypto_sign_SECRETKEYBYTES];
    KeyPair() {
        if (sodium_init() >= 0) crypto_sign_keypair(pk, sk);
    }
    std::string publicKey() const { return std::string(reinterpret_cast<const char*>(pk), 32); }
    // The detached signature of the archive at `path`, as the release script makes it.
    std::string sign(const std::string& path) const {
        const std::string m = signedMessage(path).value_or("");
        unsigned char sig[crypto_sign_BYTES];
        crypto_sign_detached(sig, nullptr, reinterpret_cast<const unsigned char*>(m.data()),
                             m.size(), sk);
        return std::string(reinterpret_cast<const char*>(sig), sizeof sig);
    }
};

}  // namespace ivo::testing
