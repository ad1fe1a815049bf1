// The updater against a local update site: checks, offers, refusals, cancelling and a real
// replacement of an application folder.
#include "updater/updater.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <fstream>

#include <QCoreApplication>
#include <QSettings>
#include <QTest>

#include "support/private_home.h"
#include "support/temp_dir.h"
#include "updater/bundle.h"
#include "updater/local_site.h"
#include "updater/release_builder.h"

namespace ivo {
namespace {
namespace fs = std::filesystem;
using testing::listing;
using testing::LocalSite;
using testing::TarEntry;

struct RecordingHost : UpdaterHost {
    struct Shown {
        QString title, text;
    };
    std::vector<Shown> alerts, offers;
    std::vector<QStringList> offerButtons;
    std::vector<std::pair<QString, QString>> prompts;
    int answer = 1;  // "Plus tard"
    std::function<void()> duringOffer;
    std::optional<QString> textAnswer;
    std::function<void()> cancel;
    int autosaves = 0, quits = 0;
    QString line = "Bienvenue";

    void alert(const QString& title, const QString& text) override {
        alerts.push_back({title, text});
    }
    int ask(const QString& message, const QString& informative,
            const QStringList& buttons) override {
        offers.push_back({message, informative});
        offerButtons.push_back(buttons);
        if (duringOffer) duringOffer();
        return answer;
    }
    std::optional<QString> askText(const QString& title, const QString& value) override {
        prompts.emplace_back(title, value);
        return textAnswer;
    }
    QString status() const override { return line; }
    void setStatus(const QString& text) override { line = text; }
    void showCancel(std::function<void()> c) override { cancel = std::move(c); }
    void autosaveNow() override { ++autosaves; }
    void quit() override { ++quits; }
};

// The identifier of a process that has ended, for installs that must never swap.
pid_t endedProcess() {
    const pid_t pid = testing::spawn({"/bin/true"});
    testing::waitFor(pid);
    return pid;
}

class UpdaterTest : public ::testing::Test {
public:
    void SetUp() override {
        QSettings().clear();
        fs::create_directories(parent + "/Ivorane3D/bin");
        std::ofstream(bundle + "/bin/ivorane3d") << testing::standInProgram();
        fs::permissions(bundle + "/bin/ivorane3d", fs::perms(0755));
        std::ofstream(bundle + "/" + bundleMarker) << R"({"build": 5, "version": "1.0"})";
    }

    Updater::Config config() const {
        Updater::Config c;
        c.currentBuild = 5;
        c.currentVersion = "1.0";
        c.defaultURL = site.address("/maj");
        c.publicKey = QByteArray::fromStdString(key.publicKey());
        c.bundleDir = QString::fromStdString(bundle);
        c.pid = endedPid;
        return c;
    }

    // Puts a signed archive of `entries` at /maj/`name` and describes it as build `build`.
    void publish(int build, const std::vector<TarEntry>& entries,
                 const QString& name = "ivorane3d.tar.xz", const char* notes = nullptr,
                 const QString& url = {}) {
        const std::string file = tmp.file("publie.tar.xz");
        testing::writeTar(file, entries);
        site.at("/maj/" + name) = {200, QByteArray::fromStdString(testing::readAll(file))};
        site.at("/maj/" + name + ".sig") = {200, QByteArray::fromStdString(key.sign(file))};
        QString json = "{\"version\": \"" + QString::number(build) +
                       ".0\", \"build\": " + QString::number(build) + ", \"url\": \"" +
                       (url.isEmpty() ? name : url) + "\"";
        if (notes) json += ", \"notes\": \"" + QString::fromUtf8(notes) + "\"";
        site.at("/maj/version.json") = {200, (json + "}").toUtf8()};
    }
    void publish(int build) { publish(build, testing::bundleEntries("Ivorane3D", build)); }

    bool settle(Updater& u) {
        return QTest::qWaitFor([&] { return !u.busy(); }, 30000);
    }
    // One check with its updater, run to its end.
    bool checkOnce(bool manual, const Updater::Config& c) {
        Updater u(c, &host);
        u.check(manual);
        return settle(u);
    }
    bool checkOnce(bool manual) { return checkOnce(manual, config()); }
    QString reason() const { return host.alerts.empty() ? QString() : host.alerts.back().text; }

    testing::TempDir tmp;
    const std::string parent = tmp.file("Mes apps/L'atelier");
    const std::string bundle = parent + "/Ivorane3D";
    testing::KeyPair key;
    const pid_t endedPid = endedProcess();
    LocalSite site;
    RecordingHost host;
};

// Only a check asked for tells the up-to-date state; the typed site address is trimmed and
// the query defeats caches.
TEST_F(UpdaterTest, ChecksTellTheUpToDateStateOnlyWhenAskedFor) {
    publish(5);
    QSettings().setValue("updateURL", " " + site.address("/maj") + "// ");
    for (const bool manual : {false, true})
        ASSERT_TRUE(checkOnce(manual));
    ASSERT_EQ(site.requests.size(), 2u);
    for (const QString& r : site.requests) {
        EXPECT_TRUE(r.startsWith("/maj/version.json?t=")) << r.toStdString();
        EXPECT_GT(r.section('=', 1).toLongLong(), 1600000000);
    }
    ASSERT_EQ(host.alerts.size(), 1u);
    EXPECT_EQ(host.alerts[0].title, "Ivorane 3D est à jour");
    EXPECT_EQ(host.alerts[0].text, "Vous avez la version 1.0 (5), la plus récente.");
    EXPECT_TRUE(host.offers.empty());
}

TEST_F(UpdaterTest, ANewerBuildIsOfferedWithItsNotesOrAnEmptyLinePair) {
    struct Case {
        const char* notes;
        const char* informative;
    };
    const Case cases[] = {
        {"<b>x</b> corrigé",
         "Vous avez la version 1.0.\n\n<b>x</b> corrigé\n\nVos modèles "
         "ouverts et vos réglages sont conservés."},
        {nullptr,
         "Vous avez la version 1.0.\n\n\n\nVos modèles ouverts et vos réglages sont "
         "conservés."},
    };
    for (const Case& c : cases) {
        publish(6, testing::bundleEntries("Ivorane3D", 6), "ivorane3d.tar.xz", c.notes);
        host.offers.clear();
        ASSERT_TRUE(checkOnce(false));  // offered on an automatic check too
        ASSERT_EQ(host.offers.size(), 1u);
        EXPECT_EQ(host.offers[0].title, "Mise à jour disponible : Ivorane 3D 6.0");
        EXPECT_EQ(host.offers[0].text, QString::fromUtf8(c.informative));
        EXPECT_EQ(host.offerButtons[0], QStringList({"Mettre à jour et relancer", "Plus tard"}));
    }
    EXPECT_TRUE(host.alerts.empty());
    EXPECT_EQ(site.count("/maj/ivorane3d.tar.xz"), 0);  // "Plus tard" downloads nothing
}

TEST_F(UpdaterTest, UnreadableDescriptionsAndBadAddressesOnlyAlertWhenAsked) {
    struct Case {
        const char* name;
        QString base;
        int status;
        QByteArray body;
        const char* title;
        const char* reasonPart;
    };
    const QString base = site.address("/maj");
    const Case cases[] = {
        {"404", base, 404, "absent", "Pas de réponse du site", "Impossible de lire "},
        {"error status", base, 500, "{\"version\": \"x\", \"build\": 5, \"url\": \"a\"}",
         "Pas de réponse du site", "Impossible de lire "},
        {"not json", base, 200, "<html>", "Pas de réponse du site",
         "/version.json.\nFichier absent ou invalide."},
        {"wrong types", base, 200, R"({"version": 2, "build": "7", "url": "a"})",
         "Pas de réponse du site", "Fichier absent ou invalide."},
        {"too large", base, 200, QByteArray(int(maxInfoBytes) + 10, ' '), "Pas de réponse du site",
         "Impossible de lire "},
        {"not an address", "ht tp://exa mple", 200, "", "Adresse invalide",
         "Vérifiez l'adresse des mises à jour."},
        {"plain http elsewhere", "http://example.com/maj", 200, "", "Adresse invalide", "https"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        site.at("/maj/version.json") = {c.status, c.body};
        QSettings().setValue("updateURL", c.base);
        for (const bool manual : {false, true}) {
            host.alerts.clear();
            ASSERT_TRUE(checkOnce(manual));
            ASSERT_EQ(host.alerts.size(), manual ? 1u : 0u);
            if (!manual) continue;
            EXPECT_EQ(host.alerts[0].title, c.title);
            EXPECT_TRUE(host.alerts[0].text.contains(QString::fromUtf8(c.reasonPart)))
                << host.alerts[0].text.toStdString();
        }
    }
    EXPECT_EQ(site.count("/version.json"), 0);  // nothing was sent to the bad addresses
}

TEST_F(UpdaterTest, OneCheckAndOneInstallAtATime) {
    publish(6);
    Updater u(config(), &host);
    // The 6-hour timer firing while the offer is open must not stack a second offer.
    bool fired = false;
    host.duringOffer = [&] {
        if (std::exchange(fired, true)) return;
        QMetaObject::invokeMethod(&u.repeatTimer(), "timeout", Qt::DirectConnection);
        u.check(true);
        // Give a second request every chance to reach the site while the offer is open.
        EXPECT_FALSE(QTest::qWaitFor([&] { return site.count("/maj/version.json") > 1; }, 1500));
    };
    u.check(false);
    ASSERT_TRUE(settle(u));
    EXPECT_EQ(site.count("/maj/version.json"), 1);
    EXPECT_EQ(host.offers.size(), 1u);

    // Two installs asked for at once make one download (stopped at its missing signature).
    host.duringOffer = {};
    const Info info{"6.0", 6, "ivorane3d.tar.xz", {}};
    site.at("/maj/ivorane3d.tar.xz.sig").status = 404;
    u.install(info, site.address("/maj"));
    u.install(info, site.address("/maj"));
    ASSERT_TRUE(settle(u));
    EXPECT_EQ(site.count("/maj/ivorane3d.tar.xz.sig"), 1);
}

TEST_F(UpdaterTest, EveryRefusalSaysWhyAndLeavesTheDiskAsItWas) {
    const auto good = testing::bundleEntries("Ivorane3D", 6);
    const QString sig = "/maj/ivorane3d.tar.xz.sig", tar = "/maj/ivorane3d.tar.xz";
    struct Case {
        const char* name;
        std::function<void()> arrange;
        const char* reason;
    };
    const Case cases[] = {
        {"http elsewhere",
         [&] { publish(6, good, "a.tar.xz", nullptr, "http://example.com/a.tar.xz"); }, "https"},
        {"not an address", [&] { publish(6, good, "a.tar.xz", nullptr, "http://exa mple/a"); },
         "pas valide"},
        {"signature missing", [&] { publish(6, good), site.at(sig).status = 404; },
         "signature de la mise à jour est absente"},
        {"signature of the wrong size", [&] { publish(6, good), site.at(sig).body = "0123"; },
         "signature de la mise à jour est absente"},
        {"signed by another key",
         [&] {
             publish(6, good);
             const std::string f = tmp.write("x", site.at(tar).body.toStdString());
             site.at(sig).body = QByteArray::fromStdString(testing::KeyPair().sign(f));
         },
         "signature de l'archive ne correspond pas"},
        {"tampered archive",
         [&] {
             publish(6, good);
             QByteArray& b = site.at(tar).body;
             b[b.size() / 2] = char(b[b.size() / 2] ^ 1);
         },
         "signature de l'archive ne correspond pas"},
        {"archive missing", [&] { publish(6, good), site.at(tar).status = 404; }, ""},
        {"truncated download", [&] { publish(6, good), site.at(tar).cutAt = 100; }, ""},
        {"absolute path",
         [&] {
             auto all = good;
             all.push_back({TarEntry::file, "/tmp/ivo-pwned", "x"});
             publish(6, all);
         },
         "chemin absolu"},
        // The archive's own marker says 6.
        {"not the build announced", [&] { publish(7, good); },
         "ne contient pas la version annoncée"},
        {"prefix install", [&] { publish(6, good), fs::remove(bundle + "/" + bundleMarker); },
         "gestionnaire de paquets"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        site.requests.clear();
        host.alerts.clear();
        SetUp();  // the marker back after the prefix install
        c.arrange();
        const auto before = listing(tmp.path());
        host.answer = 0;  // "Mettre à jour et relancer"
        ASSERT_TRUE(checkOnce(false));
        ASSERT_EQ(host.alerts.size(), 1u);
        EXPECT_EQ(host.alerts[0].title, "Mise à jour impossible");
        EXPECT_TRUE(host.alerts[0].text.contains(QString::fromUtf8(c.reason)))
            << host.alerts[0].text.toStdString();
        EXPECT_EQ(listing(tmp.path()), before);
        EXPECT_FALSE(fs::exists("/tmp/ivo-pwned"));
        EXPECT_EQ(host.quits, 0);
        EXPECT_EQ(host.line, "Bienvenue");  // the status line is given back
        EXPECT_FALSE(host.cancel);
    }
}

TEST_F(UpdaterTest, AnAbsoluteArchiveAddressIsFetchedWithItsSignatureThere) {
    // Another key in the application, so that the install stops right after its download.
    Updater::Config c = config();
    c.publicKey = QByteArray::fromStdString(testing::KeyPair().publicKey());
    publish(6, testing::bundleEntries("Ivorane3D", 6), "a.tar.xz", nullptr,
            site.address("/ailleurs/a.tar.xz"));
    site.at("/ailleurs/a.tar.xz") = site.at("/maj/a.tar.xz");
    site.at("/ailleurs/a.tar.xz.sig") = site.at("/maj/a.tar.xz.sig");
    site.requests.clear();
    host.answer = 0;
    ASSERT_TRUE(checkOnce(false, c));
    EXPECT_EQ(site.count("/ailleurs/a.tar.xz.sig"), 1);
    EXPECT_EQ(site.count("/ailleurs/a.tar.xz"), 1);
    EXPECT_EQ(site.requests.size(), 3u);
    EXPECT_TRUE(reason().contains("signature de l'archive")) << reason().toStdString();
}

// Cancelling the download, or quitting during it, leaves nothing behind.
TEST_F(UpdaterTest, StoppingTheDownloadLeavesNothing) {
    publish(6);
    site.at("/maj/ivorane3d.tar.xz").stallAt = 50;
    const auto before = listing(tmp.path());
    host.answer = 0;
    for (const bool quit : {false, true}) {
        SCOPED_TRACE(quit ? "quit" : "cancel");
        site.requests.clear();
        auto u = std::make_unique<Updater>(config(), &host);
        u->check(false);
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return site.count("/maj/ivorane3d.tar.xz") == 1; }, 30000));
        if (quit) {
            u.reset();  // says nothing
            QCoreApplication::processEvents();
        } else {
            EXPECT_TRUE(host.line.startsWith("Téléchargement de la mise à jour 6.0…"));
            // The download goes to a private folder beside the application folder.
            int working = 0;
            for (const auto& e : fs::directory_iterator(parent)) {
                if (e.path().filename().string().rfind(".Ivorane3D-maj-", 0) != 0) continue;
                ++working;
                EXPECT_EQ(fs::status(e.path()).permissions(), fs::perms::owner_all);
            }
            EXPECT_EQ(working, 1);
            ASSERT_TRUE(host.cancel);
            host.cancel();
            ASSERT_TRUE(settle(*u));
            EXPECT_EQ(host.line, "Mise à jour annulée.");
            EXPECT_FALSE(host.cancel);
        }
        EXPECT_TRUE(host.alerts.empty());
        EXPECT_EQ(listing(tmp.path()), before);
    }
}

TEST_F(UpdaterTest, AskURLStoresTheAnswerOrRestoresTheDefault) {
    publish(5);
    Updater u(config(), &host);
    host.textAnswer = "  " + site.address("/autre") + " ";
    u.askURL();
    ASSERT_TRUE(settle(u));
    EXPECT_EQ(host.prompts.at(0).first, "Adresse du site des mises à jour (Cloudflare Pages)");
    EXPECT_EQ(host.prompts.at(0).second, site.address("/maj"));
    EXPECT_EQ(QSettings().value("updateURL").toString(), site.address("/autre"));
    EXPECT_EQ(site.count("/autre/version.json"), 1);

    host.textAnswer = "   ";
    u.askURL();
    ASSERT_TRUE(settle(u));
    EXPECT_FALSE(QSettings().contains("updateURL"));
    EXPECT_EQ(site.count("/maj/version.json"), 1);
    EXPECT_EQ(host.alerts.back().title, "Ivorane 3D est à jour");

    host.textAnswer.reset();  // "Annuler": nothing stored, nothing checked
    u.askURL();
    EXPECT_FALSE(u.busy());
    EXPECT_EQ(site.requests.size(), 2u);
}

TEST_F(UpdaterTest, InstallReplacesTheFolderOnceTheAppHasEnded) {
    const std::string log = tmp.file("lancé");
    publish(6, testing::bundleEntries("Ivorane3D", 6, log));
    // The running application, which the swap must wait for.
    const pid_t app = testing::spawn({"/bin/sleep", "30"});
    ASSERT_GT(app, 0);
    Updater::Config c = config();
    c.pid = app;
    host.answer = 0;
    Updater u(c, &host);
    u.check(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return host.quits == 1; }, 30000)) << reason().toStdString();
    EXPECT_EQ(host.autosaves, 1);
    EXPECT_TRUE(host.alerts.empty());
    EXPECT_EQ(readMarker(bundle)->build, 5);  // still the old one while it runs
    ::kill(app, SIGTERM);
    testing::waitFor(app);
    ASSERT_TRUE(QTest::qWaitFor([&] { return fs::exists(log); }, 30000));
    EXPECT_EQ(readMarker(bundle)->build, 6);
    EXPECT_EQ(testing::readAll(log), bundle + "/bin/ivorane3d\n");
    for (const auto& e : fs::directory_iterator(parent))
        EXPECT_EQ(e.path().filename(), "Ivorane3D");  // no working or old folder left
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
