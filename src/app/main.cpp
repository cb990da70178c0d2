#include "app/TFPrin.h"
#include "db/ClientLibrary.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    int result = 0;
    {
        QApplication app(argc, argv);
        // The title of the default error box.
        QApplication::setApplicationName(QStringLiteral("unifica-contribuintes"));
        {
            uc::TFPrin FPrin;
            // Runs the show step before the window becomes visible.
            FPrin.show();
            result = app.exec();
        } // destroying the window closes both connections
    }
    // The Firebird client must be shut down (fb_shutdown) before its own globals go at exit, and
    // nothing may use it afterwards. Here the window, and with it both connections, is gone: the
    // application object's clean-up has normally shut it down already; this makes sure of it, and
    // a second call does nothing.
    uc::db::ClientLibrary::shutdownAll();
    return result;
}
