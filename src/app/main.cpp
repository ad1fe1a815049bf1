// The desktop application: `ivorane3d [FILE.q3d …]` restores the previous session, then opens
// the files given.
#include <cstdio>
#include <cstring>

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QStyle>
#include <QStyleFactory>
#include <QTranslator>

#include "app/app_delegate.h"

#ifndef IVORANE_VERSION
#define IVORANE_VERSION "0.0.0"
#endif

int main(int argc, char** argv) {
    // Answered before any window: the updater runs a new build this way before it replaces
    // the running one.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::fputs("Ivorane 3D " IVORANE_VERSION "\n", stdout);
        return 0;
    }
    QApplication app(argc, argv);
    ivo::setApplicationIdentity();
    QApplication::setWindowIcon(QIcon(":/app/ivorane3d.svg"));
    // The interface is designed light, whatever the desktop's theme.
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    QApplication::setPalette(QApplication::style()->standardPalette());

    // The toolkit's own buttons ("Annuler", "Ouvrir"…) in French like the rest.
    QTranslator qtFrench;
    if (qtFrench.load(QLocale(QLocale::French), "qtbase", "_",
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtFrench);

    ivo::AppDelegate delegate;
    const QStringList args = QApplication::arguments().mid(1);
    for (const QString& a : args)
        delegate.openFile(QDir::current().absoluteFilePath(a));
    QObject::connect(&app, &QApplication::aboutToQuit, &delegate,
                     [&delegate] { delegate.applicationShouldTerminate(); });
    delegate.applicationDidFinishLaunching();
    const int status = QApplication::exec();
    delegate.ctl.reset();
    return status;
}
