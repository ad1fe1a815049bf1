// Checking the update site, the offer, the download and the hand-over to the swap script.
#include "updater/updater.h"

#include <unistd.h>

#include <cstring>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcess>
#include <QSettings>
#include <QThread>
#include <QUrl>
#include <QUuid>

#include "updater/bundle.h"

namespace ivo {
namespace {

constexpr const char* refusedTitle = "Mise à jour impossible";
constexpr qint64 maxArchiveBytes = qint64(1) << 30;
constexpr qint64 maxSignatureBytes = 4096;
constexpr const char* workPrefix = ".Ivorane3D-maj-";

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

QNetworkRequest freshRequest(const QUrl& url, int timeoutMs) {
    QNetworkRequest r(url);
    r.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    r.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    r.setRawHeader("Cache-Control", "no-cache");
    r.setTransferTimeout(timeoutMs);
    return r;
}

bool success(QNetworkReply* reply) {
    const int code = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    return reply->error() == QNetworkReply::NoError && code >= 200 && code < 300;
}

// The reason a transfer failed, in the words of the network layer when it has some.
QString failure(QNetworkReply* reply, const QString& otherwise) {
    if (reply->error() != QNetworkReply::NoError) return reply->errorString();
    const int code = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (code != 0 && (code < 200 || code >= 300))
        return "Le site a répondu " + QString::number(code) + ".";
    return otherwise;
}

}  // namespace

int sweepWorkFolders(const QString& parent, const QDateTime& now) {
    int removed = 0;
    const QFileInfoList found = QDir(parent).entryInfoList(
        {QString(workPrefix) + "*"}, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QFileInfo& fi : found) {
        // A link is never followed out of the folder, and a name we did not make is not ours.
        if (fi.isSymLink() || fi.ownerId() != ::getuid()) continue;
        if (QUuid::fromString(fi.fileName().mid(int(std::strlen(workPrefix)))).isNull()) continue;
        if (fi.lastModified().secsTo(now) < 24 * 3600) continue;
        if (QDir(fi.absoluteFilePath()).removeRecursively()) ++removed;
    }
    return removed;
}

bool allowedAddress(const QUrl& url) {
    if (!url.isValid() || url.host().isEmpty()) return false;
    const QString scheme = url.scheme().toLower();
    if (scheme == "https") return true;
    if (scheme != "http") return false;
    const QString host = url.host();
    return host.compare("localhost", Qt::CaseInsensitive) == 0 || QHostAddress(host).isLoopback();
}

Updater::Updater(Config config, UpdaterHost* host)
    : config_(std::move(config)), host_(host), net_(new QNetworkAccessManager(this)) {
    timer_.setInterval(repeatMs);
    connect(&timer_, &QTimer::timeout, this, [this] { check(false); });
}

Updater::~Updater() {
    // Quietly: no alert about a transfer that ends because the application does.
    if (download_) {
        download_->disconnect(this);
        download_->abort();
    }
    if (worker_) {
        worker_->wait();
        delete worker_;
    }
    if (!work_.isEmpty()) QDir(work_).removeRecursively();
}

void Updater::start() {
    QPointer<Updater> self(this);
    QTimer::singleShot(firstCheckMs, this, [self] {
        if (self) self->check(false);
    });
    timer_.start();
}

QString Updater::baseURL() const {
    const QVariant v = QSettings().value("updateURL");
    return v.isValid() ? v.toString() : config_.defaultURL;
}

void Updater::check(bool manual) {
    if (busy_) return;
    const QString base = q(trimBase(baseURL().toStdString()));
    const QUrl url(q(versionAddress(base.toStdString(), QDateTime::currentSecsSinceEpoch())),
                   QUrl::StrictMode);
    if (!allowedAddress(url)) {
        if (manual && host_) {
            QString text = "Vérifiez l'adresse des mises à jour.";
            if (url.isValid() && url.scheme().toLower() == "http")
                text += "\nLe site doit être en https.";
            host_->alert("Adresse invalide", text);
        }
        return;
    }
    busy_ = true;
    QNetworkReply* reply = net_->get(freshRequest(url, 15000));
    // The description is a few lines: a site that sends more is not an update site.
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 got, qint64 total) {
        if (got > qint64(maxInfoBytes) || total > qint64(maxInfoBytes)) reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, manual, base] { onVersionReply(reply, manual, base); });
}

void Updater::onVersionReply(QNetworkReply* reply, bool manual, const QString& base) {
    reply->deleteLater();
    std::optional<Info> info;
    if (success(reply)) info = parseInfo(reply->read(qint64(maxInfoBytes) + 1).toStdString());
    if (!info) {
        busy_ = false;
        if (manual && host_)
            host_->alert("Pas de réponse du site",
                         "Impossible de lire " + base + "/version.json.\n" +
                             failure(reply, "Fichier absent ou invalide."));
        return;
    }
    if (config_.currentBuild < info->build) {
        // Still busy while the offer is open: its event loop lets the timer fire again.
        const QString notes = info->notes ? q(*info->notes) : QString();
        const int choice =
            host_ ? host_->ask("Mise à jour disponible : Ivorane 3D " + q(info->version),
                               "Vous avez la version " + config_.currentVersion + ".\n\n" + notes +
                                   "\n\nVos modèles ouverts et vos réglages sont conservés.",
                               {"Mettre à jour et relancer", "Plus tard"})
                  : 1;
        if (choice == 0)
            beginInstall(*info, base);
        else
            busy_ = false;
        return;
    }
    busy_ = false;
    if (manual && host_)
        host_->alert("Ivorane 3D est à jour", "Vous avez la version " + config_.currentVersion +
                                                  " (" + QString::number(config_.currentBuild) +
                                                  "), la plus récente.");
}

void Updater::install(const Info& info, const QString& base) {
    if (busy_) return;
    busy_ = true;
    beginInstall(info, base);
}

void Updater::refuse(const QString& reason) {
    endInstall();
    if (host_) host_->alert(refusedTitle, reason);
}

void Updater::endInstall() {
    if (!work_.isEmpty()) QDir(work_).removeRecursively();
    work_.clear();
    archiveFile_.reset();
    if (host_) {
        host_->showCancel({});
        if (!statusBefore_.isNull()) host_->setStatus(statusBefore_);
    }
    statusBefore_ = QString();
    busy_ = false;
}

void Updater::beginInstall(const Info& info, const QString& base) {
    installing_ = info;
    cancelled_ = tooLarge_ = false;
    const QUrl url(q(archiveAddress(info.url, base.toStdString())), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return refuse("L'adresse de l'archive n'est pas valide.");
    if (!allowedAddress(url)) return refuse("L'archive doit être téléchargée par https.");
    // Refused before anything is fetched: a shared prefix is never replaced.
    if (const auto why = replaceRefusal(config_.bundleDir.toStdString())) return refuse(q(*why));
    if (config_.publicKey.size() != int(publicKeyBytes))
        return refuse("Cette version d'Ivorane 3D ne peut pas vérifier les mises à jour.");

    // Beside the application folder, so that the swap is a rename on one file system.
    const QString parent = QFileInfo(config_.bundleDir).absolutePath();
    sweepWorkFolders(parent, QDateTime::currentDateTime());
    const QString work =
        parent + "/" + workPrefix + QUuid::createUuid().toString(QUuid::WithoutBraces);
    if (!QDir().mkdir(work, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
        return refuse("Impossible de créer le dossier de travail dans « " + parent + " ».");
    work_ = work;

    if (host_) {
        statusBefore_ = host_->status();
        host_->setStatus("Téléchargement de la mise à jour " + q(info.version) + "…");
        QPointer<Updater> self(this);
        host_->showCancel([self] {
            if (self) self->cancelDownload();
        });
    }
    // The signature travels beside the archive.
    QUrl sigUrl = url;
    sigUrl.setPath(url.path() + ".sig");
    QNetworkReply* reply = net_->get(freshRequest(sigUrl, 30000));
    download_ = reply;
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 got, qint64 total) {
        if (got > maxSignatureBytes || total > maxSignatureBytes) reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, url] {
        reply->deleteLater();
        if (cancelled_) {
            endInstall();
            if (host_) host_->setStatus("Mise à jour annulée.");
            return;
        }
        const QByteArray sig = success(reply) ? reply->read(maxSignatureBytes + 1) : QByteArray();
        if (sig.size() != int(signatureBytes))
            return refuse("La signature de la mise à jour est absente ou illisible.\n" +
                          failure(reply, "Elle doit accompagner l'archive (« .sig »)."));
        downloadArchive(url, q(installing_.version), sig);
    });
}

void Updater::downloadArchive(const QUrl& url, const QString& version, QByteArray signature) {
    archiveFile_ = std::make_unique<QFile>(work_ + "/maj.tar.xz");
    if (!archiveFile_->open(QIODevice::WriteOnly))
        return refuse("Impossible d'écrire l'archive : " + archiveFile_->errorString());
    QNetworkReply* reply = net_->get(freshRequest(url, 60000));
    download_ = reply;
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] {
        if (!archiveFile_) return;
        const QByteArray chunk = reply->readAll();
        if (archiveFile_->size() + chunk.size() > maxArchiveBytes) {
            tooLarge_ = true;
            reply->abort();
            return;
        }
        if (archiveFile_->write(chunk) != chunk.size()) reply->abort();
    });
    connect(reply, &QNetworkReply::downloadProgress, this,
            [this, reply, version](qint64 got, qint64 total) {
                if (total > maxArchiveBytes) {
                    tooLarge_ = true;
                    reply->abort();
                }
                if (!host_ || total <= 0) return;
                host_->setStatus("Téléchargement de la mise à jour " + version + "… " +
                                 QString::number(got * 100 / total) + " %");
            });
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, version, signature] { onArchiveDone(reply, version, signature); });
}

void Updater::onArchiveDone(QNetworkReply* reply, const QString& version,
                            const QByteArray& signature) {
    reply->deleteLater();
    if (cancelled_) {
        endInstall();
        if (host_) host_->setStatus("Mise à jour annulée.");
        return;
    }
    if (tooLarge_) return refuse("L'archive dépasse la taille permise (1 Gio).");
    if (!success(reply)) return refuse(failure(reply, "Téléchargement impossible."));
    // A transfer cut short without an error from the network layer.
    const qint64 announced = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
    archiveFile_->write(reply->readAll());
    if (!archiveFile_->flush() || (announced > 0 && archiveFile_->size() != announced))
        return refuse("Le téléchargement est incomplet.");
    archiveFile_->close();
    if (host_) host_->setStatus("Vérification de la mise à jour " + version + "…");

    // Verifying and unpacking run off the interface thread; only their result comes back.
    struct Outcome {
        std::string folder, error;
    };
    auto outcome = std::make_shared<Outcome>();
    const std::string archive = archiveFile_->fileName().toStdString();
    const std::string dest = (work_ + "/contenu").toStdString();
    const std::string sig = signature.toStdString();
    const std::string key = config_.publicKey.toStdString();
    const int64_t expected = installing_.build, current = config_.currentBuild;
    QThread* worker = QThread::create([=] {
        // Nothing is unpacked before the signature holds.
        if (!verifyArchive(archive, sig, key)) {
            outcome->error =
                "La signature de l'archive ne correspond pas : elle a été modifiée "
                "ou ne vient pas d'Ivorane 3D.";
            return;
        }
        if (!QDir().mkdir(q(dest))) {
            outcome->error = "Impossible de créer le dossier de travail.";
            return;
        }
        Unpacked u = unpackArchive(archive, dest);
        if (!u.error.empty()) {
            outcome->error = u.error;
            return;
        }
        // The marker is signed with the archive: it says which build this really is.
        const auto mark = readMarker(u.folder);
        if (!mark || mark->build != expected || mark->build <= current) {
            outcome->error = "L'archive ne contient pas la version annoncée.";
            return;
        }
        outcome->folder = u.folder;
    });
    worker_ = worker;
    connect(worker, &QThread::finished, this, [this, worker, outcome] {
        worker->deleteLater();
        if (!outcome->error.empty()) return refuse(q(outcome->error));
        replaceAndRelaunch(q(outcome->folder), work_);
    });
    worker->start();
}

void Updater::cancelDownload() {
    if (!download_) return;
    cancelled_ = true;
    download_->abort();
}

void Updater::replaceAndRelaunch(const QString& newApp, const QString& work) {
    const std::string current = QDir::cleanPath(config_.bundleDir).toStdString();
    if (const auto why = replaceRefusal(current)) return refuse(q(*why));
    if (host_) {
        host_->showCancel({});
        host_->autosaveNow();
    }
    const std::string script = swapScript(
        config_.pid, {current, QDir::cleanPath(newApp).toStdString(), work.toStdString()});
    QProcess sh;
    sh.setProgram("/bin/sh");
    sh.setArguments({"-c", q(script)});
    sh.setWorkingDirectory("/");
    if (!sh.startDetached()) return refuse(sh.errorString());
    // The script owns the working folder now and removes it when done.
    work_.clear();
    archiveFile_.reset();
    if (host_) host_->quit();
}

void Updater::askURL() {
    if (!host_) return;
    const auto answer =
        host_->askText("Adresse du site des mises à jour (Cloudflare Pages)", baseURL());
    if (!answer) return;
    const QString text = answer->trimmed();
    if (text.isEmpty())
        QSettings().remove("updateURL");
    else
        QSettings().setValue("updateURL", text);
    check(true);
}

}  // namespace ivo
