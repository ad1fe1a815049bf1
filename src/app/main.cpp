// The desktop application: `ivorane3d [FILE.q3d …]` restores the previous session, then opens
// the files given.
#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QStyle>
#include <QStyleFactory>
#include <QTranslator>

#include "app/app_delegate.h"

int main(int argc, char** argv) {
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
