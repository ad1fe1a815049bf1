// The updater: checks the update site for a newer build, offers it, downloads and verifies
// it, and hands over to a script that swaps the application folder and starts the new build.
// Alerts, prompts, the status line and the session go through `UpdaterHost`.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include "updater/manifest.h"

class QDateTime;
class QFile;
class QNetworkAccessManager;
class QNetworkReply;
class QThread;
class QUrl;

namespace ivo {

// What the updater needs from the window.
class UpdaterHost {
public:
    virtual ~UpdaterHost() = default;
    virtual void alert(const QString& title, const QString& text) = 0;
    // The index of the button chosen; the last one is the cancel button.
    virtual int ask(const QString& message, const QString& informative,
                    const QStringList& buttons) = 0;
    // The text typed and confirmed, or none when cancelled.
    virtual std::optional<QString> askText(const QString& title, const QString& value) = 0;
    virtual QString status() const = 0;
    virtual void setStatus(const QString& text) = 0;
    // Offers a way to cancel the download that calls `cancel`; an empty function removes it.
    virtual void showCancel(std::function<void()> cancel) = 0;
    virtual void autosaveNow() = 0;
    // Ends the application normally (the session is saved once more).
    virtual void quit() = 0;
};

class Updater : public QObject {
public:
    struct Config {
        int64_t currentBuild = 0;
        QString currentVersion = "?";
        QString defaultURL;
        QByteArray publicKey;  // Ed25519, 32 bytes; releases are signed with its private key
        QString bundleDir;     // the running application folder (holds bin/ivorane3d)
        int64_t pid = 0;       // the process the swap script waits for

        // The values this build was made with, for the running executable.
        static Config fromBuild();
    };

    // `host` may be null: alerts, prompts, status and session steps are then skipped.
    Updater(Config config, UpdaterHost* host);
    ~Updater() override;
    Updater(const Updater&) = delete;
    Updater& operator=(const Updater&) = delete;

    // The first automatic check 2 s from now, then one every 6 hours.
    void start();
    // Fetches "version.json"; a manual check reports every outcome, an automatic one only an
    // offer. Ignored while a check, an offer or an install is under way.
    void check(bool manual);
    // Downloads, verifies and unpacks the build `info` describes, then replaceAndRelaunch.
    // Ignored while busy.
    void install(const Info& info, const QString& base);
    // Hands over to the swap script for the unpacked folder `newApp` inside `work`, then quits.
    void replaceAndRelaunch(const QString& newApp, const QString& work);
    // Lets the user change the site address (empty: back to the default), then checks.
    void askURL();
    // Stops the download under way; nothing is left on disk.
    void cancelDownload();

    // The "updateURL" preference, else the default site.
    QString baseURL() const;
    bool busy() const { return busy_; }
    const Config& config() const { return config_; }
    QTimer& repeatTimer() { return timer_; }

    static constexpr int firstCheckMs = 2000;
    static constexpr int repeatMs = 6 * 3600 * 1000;

private:
    void onVersionReply(QNetworkReply* reply, bool manual, const QString& base);
    void beginInstall(const Info& info, const QString& base);
    void downloadArchive(const QUrl& url, const QString& version, QByteArray signature);
    void onArchiveDone(QNetworkReply* reply, const QString& version, const QByteArray& signature);
    void refuse(const QString& reason);
    void endInstall();

    Config config_;
    UpdaterHost* host_;
    QNetworkAccessManager* net_;
    QTimer timer_;
    bool busy_ = false;

    // The install under way.
    Info installing_;
    QString work_;  // private working folder beside the application folder
    QString statusBefore_;
    QPointer<QNetworkReply> download_;
    std::unique_ptr<QFile> archiveFile_;
    bool cancelled_ = false;
    bool tooLarge_ = false;
    QPointer<QThread> worker_;
};

// Whether the updater may fetch `url`: https, or http to this machine only.
bool allowedAddress(const QUrl& url);

// Removes the working folders that an install interrupted by a crash or a kill left in
// `parent` (the folder holding the application folder), as of `now`. Only our own folders
// older than a day go: a younger one may belong to a swap script still at work. Returns how
// many were removed.
int sweepWorkFolders(const QString& parent, const QDateTime& now);

}  // namespace ivo
