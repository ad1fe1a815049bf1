// The updater's plain part: the update description, signatures, unpacking limits, and the swap
// script run for real on a folder tree with a stand-in for the running process.
#include "updater/manifest.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#include "support/temp_dir.h"
#include "updater/release_builder.h"

namespace ivo {
namespace {
namespace fs = std::filesystem;
using testing::spawn;
using testing::standInProgram;
using testing::TarEntry;
using testing::waitFor;

// The fields themselves are read through the updater, in its tests.
TEST(Manifest, RefusesWrongTypesAndOversizedText) {
    const char* const bad[] = {"not json",
                               R"({"version": "1", "url": "a"})",
                               R"({"version": 1, "build": 2, "url": "a"})",
                               R"({"version": "1", "build": "2", "url": "a"})",
                               R"({"version": "1", "build": 2.5, "url": "a"})",
                               R"({"version": "1", "build": -3, "url": "a"})",
                               R"({"version": "1", "build": 18446744073709551615, "url": "a"})",
                               R"({"version": "1", "build": 2, "url": ""})",
                               R"({"version": "1", "build": 2, "url": "a", "notes": 5})"};
    for (const char* text : bad)
        EXPECT_FALSE(parseInfo(text)) << text;
    std::string padded = R"({"version": "1", "build": 2, "url": "a"})";
    EXPECT_TRUE(parseInfo(padded));
    EXPECT_FALSE(parseInfo(padded.append(maxInfoBytes, ' ')));
}

TEST(Signature, HoldsOnlyForTheSignedBytesAndKey) {
    const testing::TempDir tmp;
    const testing::KeyPair key, other;
    const std::string archive = tmp.file("a.tar.xz");
    testing::writeTar(archive, testing::bundleEntries("Ivorane3D", 2));
    const std::string sig = key.sign(archive);
    EXPECT_TRUE(verifyArchive(archive, sig, key.publicKey()));
    EXPECT_FALSE(verifyArchive(archive, other.sign(archive), key.publicKey()));
    EXPECT_FALSE(verifyArchive(archive, sig.substr(0, 63), key.publicKey()));
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

// The hostile archives are refused through the updater, in its tests; these need other limits.
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

TEST(SwapScript, WaitsThenSwapsOrPutsTheOldFolderBack) {
    enum class Fresh { good, missing, failsToStart, vanishesDuringSwap };
    const struct {
        const char* name;
        Fresh fresh;
        bool leftover;  // an ".ancien" folder from an earlier attempt
        const char* running;
    } cases[] = {
        {"swap over a leftover", Fresh::good, true, "neuf"},
        {"new folder missing", Fresh::missing, false, "ancien"},
        {"new program does not start", Fresh::failsToStart, false, "ancien"},
        {"second rename fails", Fresh::vanishesDuringSwap, false, "ancien"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const testing::TempDir tmp;
        // Spaces, quotes, a command substitution, a backslash and a wildcard in the path: each
        // path must stay one word for the shell.
        const std::string parent = tmp.file("Mes apps/L'atelier ''$(x)`y`\"b\\c *");
        const std::string current = parent + "/Ivorane3D", work = parent + "/.Ivorane3D-maj-1";
        const std::string fresh = work + "/contenu/Ivorane3D", log = tmp.file("lancé");
        const auto app = [&](const std::string& dir, const char* tag, int status = 0,
                             const std::string& onVersion = {}) {
            testing::writeApp(dir, 1, tag, standInProgram(tag, log, status, onVersion));
        };
        app(current, "ancien");
        fs::create_directories(work + "/contenu");
        switch (c.fresh) {
            case Fresh::good: app(fresh, "neuf"); break;
            case Fresh::missing: break;
            case Fresh::failsToStart: app(fresh, "neuf", 1); break;
            case Fresh::vanishesDuringSwap:
                app(fresh, "neuf", 0, "rm -rf " + shellQuote(fresh) + ";");
        }
        if (c.leftover) app(current + ".ancien", "vieux");

        const pid_t running = spawn({"/bin/sleep", "30"});
        ASSERT_GT(running, 0);
        const pid_t script = spawn({"/bin/sh", "-c", swapScript(running, {current, fresh, work})});
        ASSERT_GT(script, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_EQ(readMarker(current).value().version, "ancien")
            << "moved before the process ended";
        EXPECT_FALSE(fs::exists(log));
        ::kill(running, SIGTERM);
        waitFor(running);
        EXPECT_EQ(waitFor(script), 0);
        EXPECT_EQ(readMarker(current).value().version, c.running);
        EXPECT_FALSE(fs::exists(current + ".ancien"));
        EXPECT_FALSE(fs::exists(work));
        EXPECT_EQ(testing::readAll(log),
                  std::string(c.running) + " " + current + "/bin/ivorane3d\n");
    }
}

}  // namespace
}  // namespace ivo
