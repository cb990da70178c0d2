#include "app/MessageBoxes.h"

#include "app/EndingSignals.h"
#include "app/Trace.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

namespace uc {

namespace {

MessageBoxes::Presenter& presenter() {
    static MessageBoxes::Presenter instance;
    return instance;
}

void showOnScreen(const MessageRecord& message, QWidget* parent) {
    QMessageBox box(message.kind == MessageKind::Error ? QMessageBox::Critical : QMessageBox::Information,
                    message.title, message.text, QMessageBox::Ok, parent);
    // The texts are the program's own and the database server's: never rich text.
    box.setTextFormat(Qt::PlainText);
    QTimer::singleShot(0, &box, [] { traceMoment("caixa"); });
    box.exec();
}

} // namespace

void MessageBoxes::show(MessageKind kind, QWidget* parent, const QString& title, const QString& text) {
    // A program told to end shows nothing more; what failed because of that is no news.
    if (endingSignals::terminating())
        return;
    const MessageRecord message{kind, title, text};
    if (const Presenter& installed = presenter())
        installed(message);
    else
        showOnScreen(message, parent);
}

void MessageBoxes::information(QWidget* parent, const QString& title, const QString& text) {
    show(MessageKind::Information, parent, title, text);
}

void MessageBoxes::error(QWidget* parent, const QString& title, const QString& text) {
    show(MessageKind::Error, parent, title, text);
}

QString MessageBoxes::applicationTitle() {
    return QApplication::applicationDisplayName();
}

MessageBoxes::Presenter MessageBoxes::setPresenter(Presenter replacement) {
    return std::exchange(presenter(), std::move(replacement));
}

MessageBoxRecorder::MessageBoxRecorder() {
    m_previous = MessageBoxes::setPresenter([this](const MessageRecord& message) {
        m_messages.append(message);
        if (m_onShow)
            m_onShow(message);
    });
}

MessageBoxRecorder::~MessageBoxRecorder() {
    MessageBoxes::setPresenter(std::move(m_previous));
}

} // namespace uc
