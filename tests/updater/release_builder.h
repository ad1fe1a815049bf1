// Builds release archives for the updater tests, well-formed or crafted to attack the
// unpacking, and signs them with a key pair made for the run; starts stand-in processes.
#pragma once

#include <archive.h>
#include <archive_entry.h>
#include <sodium.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "updater/bundle.h"

extern char** environ;

namespace ivo::testing {

struct TarEntry {
    enum Kind { file, dir, symlink, hardlink, chardev, fifo };
    TarEntry(Kind k, std::string p, std::string d = {}, std::string t = {}, int m = 0644)
        : kind(k), path(std::move(p)), data(std::move(d)), target(std::move(t)), mode(m) {}
    Kind kind;
    std::string path;
    std::string data;    // a file's content
    std::string target;  // a link's target
    int mode;
};

// Writes `entries` as a tar archive, xz-compressed unless `xz` is false.
inline void writeTar(const std::string& file, const std::vector<TarEntry>& entries,
                     bool xz = true) {
    archive* a = archive_write_new();
    archive_write_set_format_pax_restricted(a);
    if (xz) archive_write_add_filter_xz(a);
    archive_write_open_filename(a, file.c_str());
    for (const TarEntry& e : entries) {
        archive_entry* en = archive_entry_new();
        archive_entry_set_pathname(en, e.path.c_str());
        switch (e.kind) {
            case TarEntry::file:
                archive_entry_set_filetype(en, AE_IFREG);
                archive_entry_set_size(en, la_int64_t(e.data.size()));
                break;
            case TarEntry::dir: archive_entry_set_filetype(en, AE_IFDIR); break;
            case TarEntry::symlink:
                archive_entry_set_filetype(en, AE_IFLNK);
                archive_entry_set_symlink(en, e.target.c_str());
                break;
            case TarEntry::hardlink:
                archive_entry_set_filetype(en, AE_IFREG);
                archive_entry_set_hardlink(en, e.target.c_str());
                break;
            case TarEntry::chardev:
                archive_entry_set_filetype(en, AE_IFCHR);
                archive_entry_set_rdev(en, 0x0103);  // like /dev/null
                break;
            case TarEntry::fifo: archive_entry_set_filetype(en, AE_IFIFO); break;
        }
        archive_entry_set_perm(en, mode_t(e.mode));
        archive_write_header(a, en);
        if (e.kind == TarEntry::file && !e.data.empty())
            archive_write_data(a, e.data.data(), e.data.size());
        archive_entry_free(en);
    }
    archive_write_close(a);
    archive_write_free(a);
}

// A stand-in for the application: answers "--version", otherwise records where it was
// started from in `startLog` (when given).
inline std::string standInProgram(const std::string& startLog = {}) {
    std::string quoted = "'";
    for (char c : startLog)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    quoted += "'";
    return "#!/bin/sh\n[ \"$1\" = --version ] && exit 0\n" +
           (startLog.empty() ? std::string() : "echo \"$0\" > " + quoted + "\n");
}

// The entries of a well-formed application folder `top` of `build`.
inline std::vector<TarEntry> bundleEntries(const std::string& top, int build,
                                           const std::string& startLog = {}) {
    return {
        {TarEntry::dir, top + "/", {}, {}, 0755},
        {TarEntry::dir, top + "/bin/", {}, {}, 0755},
        {TarEntry::file, top + "/bin/ivorane3d", standInProgram(startLog), {}, 0755},
        {TarEntry::file,
         top + "/" + bundleMarker,
         "{\"build\": " + std::to_string(build) + ", \"version\": \"v" + std::to_string(build) +
             "\"}",
         {},
         0644},
        {TarEntry::dir, top + "/share/", {}, {}, 0755},
        {TarEntry::symlink, top + "/share/programme", {}, "../bin/ivorane3d", 0777},
    };
}

// Every file below `root`, as relative paths, to compare trees before and after.
inline std::vector<std::string> listing(const std::string& root) {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root))
        out.push_back(std::filesystem::relative(e.path(), root).string());
    std::sort(out.begin(), out.end());
    return out;
}

// Starts `args` (the program's full path first); -1 when it cannot be started.
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
    // The detached signature of the archive at `path`, as the packaging script makes it.
    std::string sign(const std::string& path) const {
        const std::string m = signedMessage(path).value_or("");
        unsigned char sig[crypto_sign_BYTES];
        crypto_sign_detached(sig, nullptr, reinterpret_cast<const unsigned char*>(m.data()),
                             m.size(), sk);
        return std::string(reinterpret_cast<const char*>(sig), sizeof sig);
    }
};

}  // namespace ivo::testing
