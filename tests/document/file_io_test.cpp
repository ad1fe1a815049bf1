#include "document/file_io.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "support/temp_dir.h"

namespace ivo {
namespace {

using testing::readAll;

TEST(FileIo, AtomicWritesKeepPermissionsFollowSymlinksAndFailCleanly) {
    testing::TempDir dir;
    const std::string path = dir.write("a.q3d", "old"), link = dir.file("link.q3d");
    ::chmod(path.c_str(), 0640);
    ASSERT_EQ(::symlink(path.c_str(), link.c_str()), 0);
    std::string reason;
    ASSERT_TRUE(writeFileAtomic(link, "new content", reason)) << reason;
    EXPECT_EQ(readAll(path), "new content");
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    struct stat st {};
    ::stat(path.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);  // no temp
    // Failures say why, in French, and leave nothing behind.
    const std::string big = dir.write("big", std::string(3 << 20, 'x'));
    auto why = [&](bool ok) { return ok ? std::string("accepted") : reason; };
    const std::pair<std::string, std::string> cases[] = {
        {why(writeFileAtomic(dir.file("missing/out.q3d"), "x", reason)),
         "fichier ou dossier introuvable"},
        {why(writeFileAtomic(dir.path(), "x", reason)), "c'est un dossier"},
        {why(bool(readFile(dir.path(), 100, reason))), "c'est un dossier"},
        {why(bool(readFile(big, 2 << 20, reason))), "fichier trop volumineux (plus de 2 Mo)"}};
    for (const auto& [got, want] : cases)
        EXPECT_EQ(got, want);
    EXPECT_EQ(readFile(big, 4 << 20, reason)->size(), size_t{3} << 20);
    if (::geteuid() == 0) return;  // root writes anywhere
    std::filesystem::create_directory(dir.file("locked"));
    const std::string kept = dir.write("locked/keep.q3d", "keep");
    ::chmod(dir.file("locked").c_str(), 0555);
    EXPECT_FALSE(writeFileAtomic(kept, "x", reason));
    EXPECT_EQ(reason, "permission refusée");
    EXPECT_EQ(readAll(kept), "keep");
    ::chmod(dir.file("locked").c_str(), 0755);
}

TEST(FileIo, OnlyRegularFilesAreReadOrReplaced) {
    testing::TempDir dir;
    const std::string fifo = dir.file("fifo.q3d");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string reason;
    // Neither waits for a writer or replaces the FIFO or the device.
    for (const std::string& path : {fifo, std::string("/dev/null")}) {
        EXPECT_FALSE(readFile(path, 100, reason)) << path;
        EXPECT_EQ(reason, "ce n'est pas un fichier ordinaire") << path;
        EXPECT_FALSE(writeFileAtomic(path, "x", reason)) << path;
        EXPECT_EQ(reason, "ce n'est pas un fichier ordinaire") << path;
    }
    struct stat st {};
    EXPECT_TRUE(::stat(fifo.c_str(), &st) == 0 && S_ISFIFO(st.st_mode));
    EXPECT_TRUE(::stat("/dev/null", &st) == 0 && S_ISCHR(st.st_mode));
    // /proc reports a size of 0 and is read all the same.
    EXPECT_NE(readFile("/proc/self/status", 1 << 20, reason).value_or("").find("Umask:"),
              std::string::npos);
}

TEST(FileIo, LongNamesAndDanglingLinksAreWritten) {
    testing::TempDir dir;
    std::string reason;
    // The longest name a folder holds, with room for no suffix.
    const std::string longest = dir.file(std::string(251, 'n') + ".q3d");
    ASSERT_TRUE(writeFileAtomic(longest, "long", reason)) << reason;
    EXPECT_EQ(readAll(longest), "long");
    EXPECT_FALSE(writeFileAtomic(dir.file(std::string(256, 'n')), "x", reason));
    EXPECT_EQ(reason, "nom de fichier trop long");
    // A dangling link (relative, through a second link) gets its target created; the links
    // stay links.
    std::filesystem::create_directory(dir.file("sub"));
    ASSERT_EQ(::symlink("sub/made.q3d", dir.file("first").c_str()), 0);
    ASSERT_EQ(::symlink("first", dir.file("second").c_str()), 0);
    ASSERT_TRUE(writeFileAtomic(dir.file("second"), "through", reason)) << reason;
    EXPECT_EQ(readAll(dir.file("sub/made.q3d")), "through");
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("first")) &&
                std::filesystem::is_symlink(dir.file("second")));
    // A loop of links is refused.
    ASSERT_EQ(::symlink("loop", dir.file("loop").c_str()), 0);
    EXPECT_FALSE(writeFileAtomic(dir.file("loop"), "x", reason));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("loop")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.file("sub")), {}), 1);
}

}  // namespace
}  // namespace ivo
