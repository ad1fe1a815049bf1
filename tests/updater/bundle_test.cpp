// Signatures, the unpacking of hostile archives and the folders the updater may replace.
#include "updater/bundle.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>

#include "support/temp_dir.h"
#include "updater/manifest.h"
#include "updater/release_builder.h"

namespace ivo {
namespace {
namespace fs = std::filesystem;
using testing::listing;
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

TEST(Unpack, RefusesHostileArchivesAndWritesNothingOutside) {
    const testing::TempDir tmp;
    const std::string outside = tmp.file("dehors");
    fs::create_directory(outside);
    const auto good = testing::bundleEntries("Ivorane3D", 2);
    const auto with = [&](std::vector<TarEntry> extra) {
        extra.insert(extra.begin(), good.begin(), good.end());
        return extra;
    };
    const auto at = [](std::string path) { return TarEntry{TarEntry::file, path, "pwned"}; };
    struct Case {
        const char* name;
        std::vector<TarEntry> entries;
        const char* reason;
        UnpackLimits limits = {};
        const char* raw = nullptr;  // bytes written instead of a tar archive
    };
    const Case cases[] = {
        {"absolute path", with({at(outside + "/abs")}), "chemin absolu"},
        {"dot-dot", with({at("Ivorane3D/../dehors/dotdot")}), "« .. »"},
        {"link out then through it",
         with({{TarEntry::symlink, "Ivorane3D/evil", {}, "../../dehors"},
               at("Ivorane3D/evil/through")}),
         "hors de son dossier"},
        {"absolute link", with({{TarEntry::symlink, "Ivorane3D/etc", {}, "/etc"}}),
         "hors de son dossier"},
        {"link to the top's parent", with({{TarEntry::symlink, "Ivorane3D/up", {}, ".."}}),
         "hors de son dossier"},
        // Each link stays inside on its own; read through the first, the second leaves.
        {"chained links",
         with({{TarEntry::symlink, "Ivorane3D/here", {}, "."},
               {TarEntry::symlink, "Ivorane3D/here/up", {}, "../dehors"}}),
         "hors de son dossier"},
        {"hard link", with({{TarEntry::hardlink, "Ivorane3D/h", {}, "Ivorane3D/bin/ivorane3d"}}),
         "lien physique"},
        {"device", with({{TarEntry::chardev, "Ivorane3D/null"}}), "fichier spécial"},
        {"fifo", with({{TarEntry::fifo, "Ivorane3D/tube"}}), "fichier spécial"},
        {"two folders", with({{TarEntry::dir, "Autre/", {}, {}, 0755}}), "un seul dossier"},
        {"top-level file", with({at("LISEZMOI")}), "un seul dossier"},
        {"no program", {good[0], good[3]}, "ne contient pas Ivorane 3D"},
        {"program not executable",
         {good[0], good[1], {TarEntry::file, "Ivorane3D/bin/ivorane3d", "x", {}, 0644}},
         "ne contient pas Ivorane 3D"},
        {"program is a link",
         {good[0], good[1], {TarEntry::symlink, "Ivorane3D/bin/ivorane3d", {}, "../x"}},
         "ne contient pas Ivorane 3D"},
        {"empty", {}, "vide"},
        {"not a tar archive", {}, "illisible", {}, "<html>404 Not Found</html>"},
        {"too many entries", good, "trop de fichiers", {uint64_t(1) << 30, 5}},
        {"too large",
         with({{TarEntry::file, "Ivorane3D/gros", std::string(5000, 'z')}}),
         "taille permise",
         {4096, 100000}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string archive = tmp.file("a.tar.xz"), dest = tmp.file("dest");
        c.raw ? void(tmp.write("a.tar.xz", c.raw)) : testing::writeTar(archive, c.entries);
        fs::remove_all(dest);
        fs::create_directory(dest);
        const Unpacked u = unpackArchive(archive, dest, c.limits);
        EXPECT_NE(u.error.find(c.reason), std::string::npos) << u.error;
        EXPECT_EQ(u.folder, "");
        EXPECT_EQ(listing(outside), std::vector<std::string>{});
        EXPECT_FALSE(fs::exists("/etc/pwned"));
    }
}

TEST(Bundle, OnlyAMarkedFolderIsReplaceable) {
    const testing::TempDir tmp;
    // A prefix install: the program among other programs' files, no marker.
    const std::string prefix = tmp.file("local");
    fs::create_directories(prefix + "/bin");
    fs::create_directories(prefix + "/share/other");
    std::ofstream(prefix + "/bin/ivorane3d") << "x";
    std::ofstream(prefix + "/share/other/x") << "x";
    const auto refusal = replaceRefusal(prefix);
    ASSERT_TRUE(refusal);
    EXPECT_NE(refusal->find("gestionnaire de paquets"), std::string::npos);
    EXPECT_NE(refusal->find(prefix), std::string::npos);

    // A marker that is not of the expected form does not make a bundle either.
    std::ofstream(prefix + "/" + bundleMarker) << "{\"build\": \"2\"}";
    EXPECT_TRUE(replaceRefusal(prefix));
    std::ofstream(prefix + "/" + bundleMarker) << R"({"build": 2, "version": "1.1"})";
    EXPECT_FALSE(replaceRefusal(prefix));
}

}  // namespace
}  // namespace ivo
