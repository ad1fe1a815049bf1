// The swap script run for real on a folder tree, with a stand-in for the running process.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "support/temp_dir.h"
#include "updater/bundle.h"
#include "updater/manifest.h"
#include "updater/release_builder.h"

namespace ivo {
namespace {
namespace fs = std::filesystem;
using testing::spawn;
using testing::waitFor;

// An application folder whose program answers "--version" with `versionStatus` (running
// `onVersion` first) and, when started, writes "`tag` <its path>" to `log`.
void makeApp(const std::string& dir, const std::string& tag, const std::string& log,
             int versionStatus = 0, const std::string& onVersion = {}, int mode = 0755) {
    fs::create_directories(dir + "/bin");
    const std::string program = dir + "/bin/ivorane3d";
    std::ofstream(program) << "#!/bin/sh\nif [ \"$1\" = --version ]; then " << onVersion << " exit "
                           << versionStatus << "; fi\necho \"" << tag << " $0\" > "
                           << shellQuote(log) << "\n";
    fs::permissions(program, fs::perms(mode));
    std::ofstream(dir + "/" + bundleMarker) << "{\"build\": 1, \"version\": \"" << tag << "\"}";
}

std::string tagOf(const std::string& dir) {
    return readMarker(dir).value().version;
}

TEST(SwapScript, WaitsThenSwapsOrPutsTheOldFolderBack) {
    enum class Fresh { good, missing, notExecutable, failsToStart, vanishesDuringSwap };
    struct Case {
        const char* name;
        Fresh fresh;
        bool leftover;  // an ".ancien" folder from an earlier attempt
        const char* running;
    };
    const Case cases[] = {
        {"swap", Fresh::good, false, "neuf"},
        {"swap over a leftover", Fresh::good, true, "neuf"},
        {"new folder missing", Fresh::missing, false, "ancien"},
        {"new program not executable", Fresh::notExecutable, false, "ancien"},
        {"new program does not start", Fresh::failsToStart, false, "ancien"},
        {"second rename fails", Fresh::vanishesDuringSwap, false, "ancien"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const testing::TempDir tmp;
        // A space and a single quote in the path: each path must stay one word.
        const std::string parent = tmp.file("Mes apps/L'atelier");
        const std::string current = parent + "/Ivorane3D";
        const std::string work = parent + "/.Ivorane3D-maj-1";
        const std::string fresh = work + "/contenu/Ivorane3D";
        const std::string log = tmp.file("lancé");
        makeApp(current, "ancien", log);
        fs::create_directories(work + "/contenu");
        switch (c.fresh) {
            case Fresh::good: makeApp(fresh, "neuf", log); break;
            case Fresh::missing: break;
            case Fresh::notExecutable: makeApp(fresh, "neuf", log, 0, {}, 0644); break;
            case Fresh::failsToStart: makeApp(fresh, "neuf", log, 1); break;
            case Fresh::vanishesDuringSwap:
                makeApp(fresh, "neuf", log, 0, "rm -rf " + shellQuote(fresh) + ";");
                break;
        }
        if (c.leftover) makeApp(current + ".ancien", "vieux", log);

        // The running application, which the script must outlive.
        const pid_t app = spawn({"/bin/sleep", "30"});
        ASSERT_GT(app, 0);
        const pid_t script = spawn({"/bin/sh", "-c", swapScript(app, {current, fresh, work})});
        ASSERT_GT(script, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_EQ(tagOf(current), "ancien") << "moved before the process ended";
        EXPECT_FALSE(fs::exists(log));
        ::kill(app, SIGTERM);
        waitFor(app);
        EXPECT_EQ(waitFor(script), 0);

        EXPECT_EQ(tagOf(current), c.running);
        EXPECT_FALSE(fs::exists(current + ".ancien"));
        EXPECT_FALSE(fs::exists(work));
        EXPECT_EQ(testing::readAll(log),
                  std::string(c.running) + " " + current + "/bin/ivorane3d\n");
    }
}

}  // namespace
}  // namespace ivo
