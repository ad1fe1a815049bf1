// The updater's settings as this build was made: build number, version, default site and
// release key come from the build definitions.
#include <QCoreApplication>
#include <QDir>

#include "updater/updater.h"

#ifndef IVORANE_BUILD_NUMBER
#define IVORANE_BUILD_NUMBER "0"
#endif
#ifndef IVORANE_VERSION
#define IVORANE_VERSION "?"
#endif
#ifndef IVORANE_UPDATE_URL
#define IVORANE_UPDATE_URL ""
#endif
#ifndef IVORANE_UPDATE_PUBLIC_KEY
#define IVORANE_UPDATE_PUBLIC_KEY ""
#endif

namespace ivo {

Updater::Config Updater::Config::fromBuild() {
    Config c;
    c.currentBuild = parseBuild(IVORANE_BUILD_NUMBER);
    c.currentVersion = QString::fromUtf8(IVORANE_VERSION);
    if (c.currentVersion.isEmpty()) c.currentVersion = "?";
    c.defaultURL = QString::fromUtf8(IVORANE_UPDATE_URL);
    c.publicKey = QByteArray::fromHex(IVORANE_UPDATE_PUBLIC_KEY);
    // The executable sits in bin/ of its application folder.
    c.bundleDir = QDir::cleanPath(QCoreApplication::applicationDirPath() + "/..");
    c.pid = QCoreApplication::applicationPid();
    return c;
}

}  // namespace ivo
