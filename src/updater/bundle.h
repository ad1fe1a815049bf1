// The application folder ("bundle") and the checks of a downloaded build: its Ed25519
// signature, a careful unpacking of its archive and the marker that makes a folder
// replaceable. Plain C++ over libsodium and libarchive; texts returned are French and shown
// after "Mise à jour impossible".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ivo {

inline constexpr size_t publicKeyBytes = 32;
inline constexpr size_t signatureBytes = 64;
// The file, at the root of an application folder, that packaging writes and that marks the
// folder as one the updater may replace: {"build": 12, "version": "1.2.0"}.
inline constexpr const char* bundleMarker = "ivorane3d-bundle.json";

// What the release key signs for an archive: a fixed prefix and the archive's SHA-256 in
// hex, so that verifying never holds the whole archive in memory. None when unreadable.
std::optional<std::string> signedMessage(const std::string& archivePath);

// Whether `signature` (64 bytes) is the signature of `archivePath` by `publicKey` (32 bytes).
bool verifyArchive(const std::string& archivePath, std::string_view signature,
                   std::string_view publicKey);

struct UnpackLimits {
    uint64_t maxBytes = uint64_t(1) << 30;  // sum of the unpacked files' sizes
    uint64_t maxEntries = 100000;
};

struct Unpacked {
    std::string folder;  // the one top-level folder, when `error` is empty
    std::string error;
};

// Unpacks a tar archive (xz, gzip or none) into the existing, empty folder `dest`. Refuses
// absolute paths, "..", links leading out of the archive's folder, hard links, devices,
// fifos, sockets, more than one top-level entry (which must be a folder holding an
// executable bin/ivorane3d), and archives above `limits`. Owners, set-id and sticky bits
// are never restored. On refusal `dest` may hold part of the archive: the caller removes it.
Unpacked unpackArchive(const std::string& archive, const std::string& dest,
                       UnpackLimits limits = {});

// The build and version that `bundleMarker` in `folder` names, if it is a readable regular
// file of that form.
struct BundleMark {
    int64_t build = 0;
    std::string version;
};
std::optional<BundleMark> readMarker(const std::string& folder);

// Whether `path` is a regular file (not a link) that its owner may execute.
bool isExecutableFile(const std::string& path);

// Why the running application folder `root` cannot be replaced: not a marked folder of this
// user (a shared prefix such as ~/.local or /usr), or a parent folder that cannot be
// written. None when it can.
std::optional<std::string> replaceRefusal(const std::string& root);

}  // namespace ivo
