#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <utility>

class QWidget;

namespace uc {

// The text of the default error box: the error's text, with a full stop added when its last
// character sorts after "." (so "x!" and "x)" stay as they are, "abc" becomes "abc.").
QString errorBoxText(const QString& message);

// The default error box: modal, error icon, OK, the application's title.
void showErrorBox(QWidget* parent, const QString& message);

// Runs an event handler of the window. An error that leaves it (uc::Error or any std::exception)
// is shown in the default error box, and the program goes on. A handler run from inside another
// (opening the group list fires its after-scroll reload) lets the error travel on to the outer
// one, so the error ends the whole event and is shown once.
void runHandler(QWidget* parent, const std::function<void()>& handler);

// connect() for event handlers: every call of the slot goes through runHandler, so no error ever
// travels through Qt's event loop.
template <class Sender, class Signal, class Handler>
QMetaObject::Connection connectHandler(const Sender* sender, Signal signal, QWidget* window, Handler handler) {
    return QObject::connect(sender, signal, window,
                            [window, handler = std::move(handler)] { runHandler(window, handler); });
}

} // namespace uc
