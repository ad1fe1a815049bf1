// The swap script run for real on a folder tree, with a stand-in for the running process.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <thread>

#include "support/temp_dir.h"
#include "updater/release_builder.h"

namespace ivo {
namespace {
namespace fs = std::filesystem;
using testing::spawn;
using testing::standInProgram;
using testing::waitFor;
using testing::writeApp;

TEST(SwapScript, WaitsThenSwapsOrPutsTheOldFolderBack) {
    enum class Fresh { good, missing, notExecutable, failsToStart, vanishesDuringSwap };
    const struct {
        const char* name;
        Fresh fresh;
        bool leftover;  // an ".ancien" folder from an earlier attempt
        const char* running;
    } cases[] = {
        {"swap", Fresh::good, false, "neuf"},
        {"swap over a leftover", Fresh::good, true, "neuf"},
        {"new folder missing", Fresh::missing, false, "ancien"},
        {"new program not executable", Fresh::notExecutable, false, "ancien"},
        {"new program does not start", Fresh::failsToStart, false, "ancien"},
        {"second rename fails", Fresh::vanishesDuringSwap, false, "ancien"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const testing::TempDir tmp;
        // A space and a single quote in the path: each path must stay one word.
        const std::string current = tmp.file("Mes apps/L'atelier/Ivorane3D");
        const std::string work = tmp.file("Mes apps/L'atelier/.Ivorane3D-maj-1");
        const std::string fresh = work + "/contenu/Ivorane3D", log = tmp.file("lancé");
        const auto app = [&](const std::string& dir, const char* tag, int status = 0,
                             const std::string& onVersion = {}, int mode = 0755) {
            writeApp(dir, 1, tag, standInProgram(tag, log, status, onVersion), mode);
        };
        app(current, "ancien");
        fs::create_directories(work + "/contenu");
        switch (c.fresh) {
            case Fresh::good: app(fresh, "neuf"); break;
            case Fresh::missing: break;
            case Fresh::notExecutable: app(fresh, "neuf", 0, {}, 0644); break;
            case Fresh::failsToStart: app(fresh, "neuf", 1); break;
            case Fresh::vanishesDuringSwap:
                app(fresh, "neuf", 0, "rm -rf " + shellQuote(fresh) + ";");
        }
        if (c.leftover) app(current + ".ancien", "vieux");

        // The running application, which the script must outlive.
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
