#include "app/EventHandlers.h"

#include "app/MessageBoxes.h"
#include "common/Error.h"

#include <exception>

namespace uc {

namespace {
// How many handlers are running, the outermost one included.
int handlerDepth = 0;
} // namespace

QString errorBoxText(const QString& message) {
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

void showErrorBox(QWidget* parent, const QString& message) {
    MessageBoxes::error(parent, MessageBoxes::applicationTitle(), errorBoxText(message));
}

void runHandler(QWidget* parent, const std::function<void()>& handler) {
    struct Depth {
        Depth() { ++handlerDepth; }
        ~Depth() { --handlerDepth; }
    };
    if (handlerDepth > 0) {
        const Depth depth;
        handler();
        return;
    }
    QString message;
    try {
        const Depth depth;
        handler();
        return;
    } catch (const Error& e) {
        message = e.message();
    } catch (const std::exception& e) {
        message = QString::fromLocal8Bit(e.what());
    }
    // Shown after the handler has unwound, so that the box's own event loop runs with no handler
    // in progress.
    showErrorBox(parent, message);
}

} // namespace uc
