#pragma once

// Counts the drawings of one widget: a test reads `count` before and after a call to see whether
// the call drew it at once (the merge run holds the message loop, so nothing else draws it then).

#include <QEvent>
#include <QObject>
#include <QWidget>

namespace uc::test {

class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
};

} // namespace uc::test
