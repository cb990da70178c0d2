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
    uc::db::ClientLibrary::shutdownAll();
    return result;
}
