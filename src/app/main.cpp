#include "app/EndingSignals.h"
#include "app/TFPrin.h"
#include "app/Trace.h"
#include "db/ClientLibrary.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char* argv[]) {
    // Before anything can load the client library, which keeps the handlers it finds.
    uc::endingSignals::install();
    int result = 0;
    {
        QApplication app(argc, argv);
        // The title of the default error box.
        QApplication::setApplicationName(QStringLiteral("unifica-contribuintes"));
        {
            uc::TFPrin FPrin;
            const uc::endingSignals::Watch watch(FPrin.Conexao());
            // Runs the show step before the window becomes visible.
            if (!uc::endingSignals::terminating())
                FPrin.show();
            QTimer::singleShot(0, [] { uc::traceMoment("pronto"); });
            if (!uc::endingSignals::terminating())
                result = app.exec();
        } // destroying the window rolls back an open transaction and closes both connections
    }
    // The Firebird client must be shut down (fb_shutdown) before its own globals go at exit, and
    // nothing may use it afterwards. Here the window, and with it both connections, is gone: the
    // application object's clean-up has normally shut it down already; this makes sure of it, and
    // a second call does nothing.
    uc::db::ClientLibrary::shutdownAll();
    return uc::endingSignals::terminating() ? uc::endingSignals::exitCode() : result;
}
