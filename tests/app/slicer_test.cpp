#include "app/slicer.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir.h"

namespace ivo {
namespace {

using namespace ivo::testing;
namespace fs = std::filesystem;

// A file in `dir`, executable or not.
std::string program(const TempDir& dir, const std::string& sub, const std::string& name,
                    bool executable = true) {
    fs::create_directories(dir.file(sub));
    const std::string path = dir.write(sub + "/" + name, "#!/bin/sh\n");
    fs::permissions(path, executable ? fs::perms::owner_all : fs::perms::owner_read);
    return path;
}

TEST(Slicer, TheFavouriteSlicerWinsAndOnlyAbsoluteFoldersAreSearchedEachInTurn) {
    TempDir t;
    const std::string a = t.file("a"), b = t.file("b"), c = t.file("c");
    const std::string orca = program(t, "a", "orca-slicer");
    const std::string prusa = program(t, "b", "PrusaSlicer");
    const std::string cura = program(t, "c", "cura");
    program(t, "a", "prusa-slicer", false);           // not executable: passed over
    fs::create_directories(t.file("a/superslicer"));  // a folder, not a program
    // Empty entries, "." and relative names mean the current folder to a shell: a program
    // placed wherever the window was started from must not be run.
    program(t, ".", "prusa-slicer");
    const fs::path before = fs::current_path();
    fs::current_path(t.path());

    struct Case {
        std::string path;
        std::optional<std::string> found;
    };
    const Case cases[] = {
        {a + ":" + b + ":" + c, prusa},
        {c + ":" + a, orca},
        {c, cura},
        {c + "/", cura},
        {"", std::nullopt},
        {":", std::nullopt},
        {".:./", std::nullopt},
        {"a", std::nullopt},
        {t.path(), t.file("prusa-slicer")},  // the same folder named absolutely
        {":" + t.file("vide") + ":", std::nullopt},
        {t.file("c/cura"), std::nullopt},  // a file is no folder
    };
    for (const Case& k : cases)
        EXPECT_EQ(findSlicer(k.path), k.found) << k.path;
    fs::current_path(before);
}

}  // namespace
}  // namespace ivo
