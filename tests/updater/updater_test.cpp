// The updater against a local update site: checks, offers, refusals and a real replacement.
#include "updater/updater.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <fstream>

#include <QCoreApplication>
#include <QDateTime>
#include <QSettings>
#include <QTest>
#include <QUuid>

#include "support/private_home.h"
#include "support/temp_dir.h"
#include "updater/local_site.h"
#include "updater/release_builder.h"

namespace ivo {
namespace {
namespace fs = std::filesystem;
using testing::listing;
using testing::TarEntry;

struct RecordingHost : UpdaterHost {
    std::vector<QString> alerts, offers;  // their texts
    int answer = 1;                       // "Plus tard"
    std::function<void()> cancel;
    int autosaves = 0, quits = 0;
    QString line = "Bienvenue";

    void alert(const QString&, const QString& text) override { alerts.push_back(text); }
    int ask(const QString&, const QString& informative, const QStringList&) override {
        offers.push_back(informative);
        return answer;
    }
    std::optional<QString> askText(const QString&, const QString&) override { return {}; }
    QString status() const override { return line; }
    void setStatus(const QString& text) override { line = text; }
    void showCancel(std::function<void()> c) override { cancel = std::move(c); }
    void autosaveNow() override { ++autosaves; }
    void quit() override { ++quits; }
};

class UpdaterTest : public ::testing::Test {
public:
    void SetUp() override {
        QSettings().clear();
        testing::writeApp(bundle, 5, "1.0", testing::standInProgram("v5"));
    }

    Updater::Config config() const {
        const QByteArray pk = QByteArray::fromStdString(key.publicKey());
        return {5, "1.0", site.address("/maj"), pk, QString::fromStdString(bundle), endedPid};
    }

    // Describes build `build` with an archive of `entries` (by default a well-formed one),
    // signed, served at `url`: relative to /maj or absolute.
    void publish(int build, std::vector<TarEntry> entries = {}, const char* notes = nullptr,
                 const QString& url = "ivorane3d.tar.xz") {
        const std::string file = tmp.file("publie.tar.xz");
        testing::writeTar(file,
                          entries.empty() ? testing::bundleEntries("Ivorane3D", build) : entries);
        const QString path = url.startsWith("http") ? QUrl(url).path() : "/maj/" + url;
        site.at(path) = {200, QByteArray::fromStdString(testing::readAll(file))};
        site.at(path + ".sig") = {200, QByteArray::fromStdString(key.sign(file))};
        QString json = "{\"version\": \"" + QString::number(build) +
                       ".0\", \"build\": " + QString::number(build) + ", \"url\": \"" + url + "\"";
        if (notes) json += ", \"notes\": \"" + QString::fromUtf8(notes) + "\"";
        site.at("/maj/version.json") = {200, (json + "}").toUtf8()};
    }

    bool settle(Updater& u) {
        return QTest::qWaitFor([&] { return !u.busy(); }, 30000);
    }
    bool checkOnce(bool manual) {
        Updater u(config(), &host);
        u.check(manual);
        return settle(u);
    }
    std::string reason() const {
        return host.alerts.empty() ? "" : host.alerts.back().toStdString();
    }

    testing::TempDir tmp;
    const std::string parent = tmp.file("Mes apps/L'atelier");
    const std::string bundle = parent + "/Ivorane3D";
    testing::KeyPair key;
    // The identifier of a process that has ended, for installs that must never swap.
    const pid_t endedPid = [] {
        const pid_t pid = testing::spawn({"/bin/true"});
        testing::waitFor(pid);
        return pid;
    }();
    testing::LocalSite site;
    RecordingHost host;
};

// Only a check asked for says the build is current; the typed address is trimmed and the query
// defeats caches. A newer build is offered with its notes; "Plus tard" downloads nothing;
// two installs at once make one download.
TEST_F(UpdaterTest, ChecksOfferANewerBuildAndInstallOnceAtATime) {
    publish(5);
    QSettings().setValue("updateURL", " " + site.address("/maj") + "// ");
    for (const bool manual : {false, true})
        ASSERT_TRUE(checkOnce(manual));
    ASSERT_EQ(site.requests.size(), 2u);
    for (const QString& r : site.requests) {
        EXPECT_TRUE(r.startsWith("/maj/version.json?t=")) << r.toStdString();
        EXPECT_GT(r.section('=', 1).toLongLong(), 1600000000);
    }
    EXPECT_EQ(host.alerts.size(), 1u);
    publish(6, {}, "<b>x</b> corrigé");
    ASSERT_TRUE(checkOnce(false));
    ASSERT_EQ(host.offers.size(), 1u);
    EXPECT_TRUE(host.offers[0].contains("\n<b>x</b> corrigé\n"));
    EXPECT_EQ(host.alerts.size(), 1u);
    EXPECT_EQ(site.count("/maj/ivorane3d.tar.xz"), 0);
    // Two installs asked for at once make one download (stopped at its missing signature).
    const Info info{"6.0", 6, "ivorane3d.tar.xz", {}};
    site.at("/maj/ivorane3d.tar.xz.sig").status = 404;
    Updater u(config(), &host);
    u.install(info, site.address("/maj"));
    u.install(info, site.address("/maj"));
    ASSERT_TRUE(settle(u));
    EXPECT_EQ(site.count("/maj/ivorane3d.tar.xz.sig"), 1);
}

// A bad description alerts only on a check asked for; an install refused says why in any
// case. Either way nothing on disk changes. One row per distinct attack or fault.
TEST_F(UpdaterTest, EveryRefusalSaysWhyAndLeavesTheDiskAsItWas) {
    const auto description = [&](int status, QByteArray body, QString base = {}) {
        return [=, this] {
            site.at("/maj/version.json") = {status, body};
            if (!base.isEmpty()) QSettings().setValue("updateURL", base);
        };
    };
    // A well-formed archive of build 6 and `extra`, or `entries` alone.
    const auto archive = [&](std::vector<TarEntry> extra, std::vector<TarEntry> entries = {}) {
        if (entries.empty()) entries = testing::bundleEntries("Ivorane3D", 6);
        entries.insert(entries.end(), extra.begin(), extra.end());
        return [=, this] { publish(6, entries); };
    };
    const auto file = [](std::string path) { return TarEntry{TarEntry::file, path, "pwned"}; };
    const auto link = [](std::string path, std::string target) {
        return TarEntry{TarEntry::symlink, path, {}, target};
    };
    const auto good = testing::bundleEntries("Ivorane3D", 6);
    const std::string out = "hors de son dossier", noApp = "ne contient pas Ivorane 3D";
    const std::string sig = "signature de l";
    const struct {
        const char* name;
        std::function<void()> arrange;
        bool install;  // refused at the install, told on an automatic check too
        std::string reason;
    } cases[] = {
        {"valid description behind an error status",
         description(500, R"({"version": "x", "build": 5, "url": "a"})"), false, "lire"},
        {"description too large", description(200, QByteArray(int(maxInfoBytes) + 10, ' ')), false,
         "lire"},
        {"plain http site elsewhere", description(200, "", "http://example.com/maj"), false,
         "https"},
        {"plain http archive elsewhere",
         [&] { publish(6, {}, nullptr, "http://example.com/a.tar.xz"); }, true, "https"},
        {"signature missing",
         [&] { publish(6), site.at("/maj/ivorane3d.tar.xz.sig").status = 404; }, true, sig},
        // Served only at the absolute address: both files must be fetched from there.
        {"absolute address, signed by another key",
         [&] {
             publish(6, {}, nullptr, site.address("/ailleurs/a.tar.xz"));
             const std::string f = tmp.write("x", site.at("/ailleurs/a.tar.xz").body.toStdString());
             site.at("/ailleurs/a.tar.xz.sig").body =
                 QByteArray::fromStdString(testing::KeyPair().sign(f));
         },
         true, sig},
        {"absolute path", archive({file("/tmp/ivo-pwned")}), true, "chemin absolu"},
        {"dot-dot", archive({file("Ivorane3D/../dehors")}), true, "« .. »"},
        {"link out then through it",
         archive({link("Ivorane3D/evil", "../.."), file("Ivorane3D/evil/through")}), true, out},
        {"absolute link", archive({link("Ivorane3D/etc", "/etc")}), true, out},
        // Each link stays inside on its own; read through the first, the second leaves.
        {"chained links", archive({link("Ivorane3D/here", "."), link("Ivorane3D/here/up", "../x")}),
         true, out},
        {"hard link", archive({{TarEntry::hardlink, "Ivorane3D/h", {}, "Ivorane3D/bin/ivorane3d"}}),
         true, "lien physique"},
        {"device", archive({{TarEntry::chardev, "Ivorane3D/null"}}), true, "fichier spécial"},
        {"two folders", archive({{TarEntry::dir, "Autre/", {}, {}, 0755}}), true, "un seul"},
        {"program is a link",
         archive({link("Ivorane3D/bin/ivorane3d", "../x")}, {good[0], good[1]}), true, noApp},
        // The archive's own marker says 6.
        {"not the build announced", [&] { publish(7, testing::bundleEntries("Ivorane3D", 6)); },
         true, "version annoncée"},
        // A prefix install is never replaced.
        {"prefix install", [&] { publish(6), fs::remove(bundle + "/" + bundleMarker); }, true,
         bundle},
    };
    host.answer = 0;  // "Mettre à jour et relancer"
    for (const auto& c : cases)
        for (const bool manual : {false, true}) {
            if (manual && c.install) continue;
            SCOPED_TRACE(std::string(c.name) + (manual ? ", asked for" : ""));
            host.alerts.clear();
            SetUp();  // the marker back after the prefix install
            c.arrange();
            const auto before = listing(tmp.path());
            ASSERT_TRUE(checkOnce(manual));
            ASSERT_EQ(host.alerts.size(), manual || c.install ? 1u : 0u);
            if (host.alerts.empty()) continue;
            EXPECT_TRUE(host.alerts[0].contains(QString::fromStdString(c.reason))) << reason();
            EXPECT_EQ(listing(tmp.path()), before);
            EXPECT_FALSE(fs::exists("/tmp/ivo-pwned"));
            EXPECT_EQ(host.quits, 0);
            EXPECT_EQ(host.line, "Bienvenue");  // the status line is given back
            EXPECT_FALSE(host.cancel);
        }
    EXPECT_EQ(site.count("/version.json"), 0);  // nothing was sent to the bad addresses
}

TEST_F(UpdaterTest, InstallReplacesTheFolderOnceTheAppHasEnded) {
    const std::string log = tmp.file("lancé");
    // With a set-id file, whose mode is kept without its set-id bits.
    auto entries = testing::bundleEntries("Ivorane3D", 6, log);
    entries.push_back({TarEntry::file, "Ivorane3D/bin/outil", "#!/bin/sh\n", {}, 06755});
    publish(6, entries);
    // The running application, which the swap must wait for.
    Updater::Config c = config();
    c.pid = testing::spawn({"/bin/sleep", "30"});
    ASSERT_GT(c.pid, 0);
    host.answer = 0;
    Updater u(c, &host);
    u.check(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return host.quits == 1; }, 30000)) << reason();
    EXPECT_EQ(host.autosaves, 1);
    EXPECT_TRUE(host.alerts.empty());
    EXPECT_EQ(readMarker(bundle)->build, 5);  // still the old one while it runs
    // The new folder waits in a private working folder beside the application folder.
    std::vector<fs::perms> working;
    for (const auto& e : fs::directory_iterator(parent))
        if (e.path().filename().string().rfind(".Ivorane3D-maj-", 0) == 0)
            working.push_back(fs::status(e.path()).permissions());
    EXPECT_EQ(working, std::vector{fs::perms::owner_all});
    ::kill(pid_t(c.pid), SIGTERM);
    testing::waitFor(pid_t(c.pid));
    ASSERT_TRUE(QTest::qWaitFor([&] { return fs::exists(log); }, 30000));
    EXPECT_EQ(readMarker(bundle)->build, 6);
    EXPECT_EQ(testing::readAll(log), "v6 " + bundle + "/bin/ivorane3d\n");
    EXPECT_EQ(fs::status(bundle + "/bin/outil").permissions(), fs::perms(0755));
    EXPECT_TRUE(fs::is_symlink(bundle + "/share/programme"));
    for (const auto& e : fs::directory_iterator(parent))
        EXPECT_EQ(e.path().filename(), "Ivorane3D");  // no working or old folder left
}

// Working folders left by interrupted installs are swept; nothing else beside them is touched.
TEST(WorkSweep, RemovesOnlyOurOwnStaleFoldersAndNeverFollowsALink) {
    testing::TempDir tmp;
    const fs::path parent = tmp.path();
    const auto uuidName = [] {
        return ".Ivorane3D-maj-" + QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString();
    };
    const fs::path stale = parent / uuidName(), outside = parent / "ailleurs";
    fs::create_directories(stale / "contenu" / "bin");
    std::ofstream(stale / "maj.tar.xz") << "archive";
    fs::create_directories(outside);
    std::ofstream(outside / "garder.txt") << "x";
    const fs::path link = parent / uuidName();
    fs::create_directory_symlink(outside, link);
    fs::create_directories(stale / "lien-interne");
    fs::create_directory_symlink(outside, stale / "lien-interne" / "dehors");
    const fs::path notOurs = parent / ".Ivorane3D-maj-pas-un-identifiant";
    const fs::path app = parent / "Ivorane3D";
    fs::create_directories(notOurs);
    fs::create_directories(app / "bin");
    std::ofstream(parent / uuidName()) << "a file, not a folder";

    const QString dir = QString::fromStdString(parent.string());
    const QDateTime now = QDateTime::currentDateTime();
    EXPECT_EQ(sweepWorkFolders(dir, now), 0);  // a folder made just now may still be in use
    EXPECT_TRUE(fs::exists(stale));

    EXPECT_EQ(sweepWorkFolders(dir, now.addDays(2)), 1);
    EXPECT_FALSE(fs::exists(stale));
    for (const fs::path& kept : {link, notOurs, app / "bin", outside / "garder.txt"})
        EXPECT_TRUE(fs::exists(kept)) << kept;
    EXPECT_EQ(sweepWorkFolders(dir, now.addDays(2)), 0);
}

}  // namespace
}  // namespace ivo

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const ivo::testing::TempDir home;
    ivo::testing::usePrivateHome(home);
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName("Ivorane");
    QCoreApplication::setApplicationName("Ivorane3D");
    return RUN_ALL_TESTS();
}
