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
        {why(bool(readFile(dir.file("none"), 100, reason))), "fichier ou dossier introuvable"},
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

}  // namespace
}  // namespace ivo
