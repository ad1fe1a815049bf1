// Signatures, the release tools that make them, and the unpacking limits.
#include "updater/bundle.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <optional>

#include "support/temp_dir.h"
#include "updater/manifest.h"
#include "updater/release_builder.h"

namespace ivo {
namespace {
namespace fs = std::filesystem;
using testing::TarEntry;

TEST(Signature, HoldsOnlyForTheSignedBytesAndKey) {
    const testing::TempDir tmp;
    const testing::KeyPair key, other;
    const std::string archive = tmp.file("a.tar.xz");
    testing::writeTar(archive, testing::bundleEntries("Ivorane3D", 2));
    const std::string sig = key.sign(archive);
    EXPECT_TRUE(verifyArchive(archive, sig, key.publicKey()));
    EXPECT_FALSE(verifyArchive(archive, sig, other.publicKey()));
    EXPECT_FALSE(verifyArchive(archive, other.sign(archive), key.publicKey()));
    EXPECT_FALSE(verifyArchive(archive, sig.substr(0, 63), key.publicKey()));
    EXPECT_FALSE(verifyArchive(archive, "", key.publicKey()));
    EXPECT_FALSE(verifyArchive(tmp.file("absent"), sig, key.publicKey()));
    std::string bytes = testing::readAll(archive);
    bytes[bytes.size() / 2] ^= 1;
    tmp.write("a.tar.xz", bytes);
    EXPECT_FALSE(verifyArchive(archive, sig, key.publicKey()));
}

// Output of a shell command, or none when it fails.
std::optional<std::string> run(const std::string& command) {
    FILE* p = ::popen(command.c_str(), "r");
    if (!p) return std::nullopt;
    std::string out;
    char buf[256];
    while (size_t n = std::fread(buf, 1, sizeof buf, p))
        out.append(buf, n);
    return ::pclose(p) == 0 ? std::optional(out) : std::nullopt;
}

TEST(Signature, TheReleaseToolsSignWhatTheUpdaterAccepts) {
    if (!run("command -v openssl >/dev/null")) GTEST_SKIP() << "openssl absent";
    const testing::TempDir tmp;
    const std::string tools = IVORANE_TOOLS_DIR;
    const auto hex = run(tools + "/make-update-key.sh " + shellQuote(tmp.file("cle.pem")));
    ASSERT_TRUE(hex);
    ASSERT_EQ(hex->size(), 65u) << *hex;
    std::string key;
    for (size_t i = 0; i < 64; i += 2)
        key += char(std::stoi(hex->substr(i, 2), nullptr, 16));
    const std::string archive = tmp.file("ivorane3d-2.0.tar.xz");
    testing::writeTar(archive, testing::bundleEntries("Ivorane3D", 2));
    ASSERT_TRUE(run(tools + "/sign-update.sh " + shellQuote(tmp.file("cle.pem")) + " " +
                    shellQuote(archive)));
    const std::string sig = testing::readAll(archive + ".sig");
    EXPECT_TRUE(verifyArchive(archive, sig, key));
    // The private key is readable by its owner only.
    EXPECT_EQ(fs::status(tmp.file("cle.pem")).permissions() & fs::perms(077), fs::perms::none);
}

// The hostile archives that the updater can be sent are refused through it, in its tests;
// these are the refusals that need other limits or bytes that are no tar archive.
TEST(Unpack, RefusesWhatIsNoArchiveOrAboveTheLimits) {
    const testing::TempDir tmp;
    const auto good = testing::bundleEntries("Ivorane3D", 2);
    auto large = good;
    large.push_back({TarEntry::file, "Ivorane3D/gros", std::string(5000, 'z')});
    const struct {
        const char* name;
        std::vector<TarEntry> entries;
        const char* reason;
        UnpackLimits limits = {};
        const char* raw = nullptr;  // bytes written instead of a tar archive
    } cases[] = {
        {"empty", {}, "vide"},
        {"not a tar archive", {}, "illisible", {}, "<html>404 Not Found</html>"},
        {"too many entries", good, "trop de fichiers", {uint64_t(1) << 30, 5}},
        {"too large", large, "taille permise", {4096, 100000}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string archive = tmp.file("a.tar.xz"), dest = tmp.file("dest");
        c.raw ? void(tmp.write("a.tar.xz", c.raw)) : testing::writeTar(archive, c.entries);
        fs::remove_all(dest);
        fs::create_directory(dest);
        const Unpacked u = unpackArchive(archive, dest, c.limits);
        EXPECT_NE(u.error.find(c.reason), std::string::npos) << u.error;
        EXPECT_EQ(u.folder, "");
    }
}

}  // namespace
}  // namespace ivo
