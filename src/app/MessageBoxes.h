#pragma once

#include <QList>
#include <QString>
#include <functional>

class QWidget;

namespace uc {

enum class MessageKind { Information, Error };

struct MessageRecord {
    MessageKind kind;
    QString title;
    QString text;
};

// Every message box of the program goes through here: modal, with its kind's icon and the single
// button OK, returning when the operator closes it. Once the program is ending on a signal, no box
// is shown and each call returns at once. A test installs a presenter (usually through
// MessageBoxRecorder) that takes the boxes instead of the screen and returns at once.
class MessageBoxes {
public:
    using Presenter = std::function<void(const MessageRecord&)>;

    static void show(MessageKind kind, QWidget* parent, const QString& title, const QString& text);
    static void information(QWidget* parent, const QString& title, const QString& text);
    static void error(QWidget* parent, const QString& title, const QString& text);

    // The application's title, the one the default error box carries.
    static QString applicationTitle();

    // Replaces how boxes are presented; an empty presenter restores the real boxes. Returns the
    // presenter that was installed before.
    static Presenter setPresenter(Presenter presenter);
};

// Records every box shown while it lives, shows none of them, and answers each with OK.
class MessageBoxRecorder {
public:
    MessageBoxRecorder();
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    const QList<MessageRecord>& messages() const { return m_messages; }
    void clear() { m_messages.clear(); }
    // Runs while a box is "open", e.g. to look at the program's state before the operator answers.
    void setOnShow(std::function<void(const MessageRecord&)> onShow) { m_onShow = std::move(onShow); }

private:
    QList<MessageRecord> m_messages;
    std::function<void(const MessageRecord&)> m_onShow;
    MessageBoxes::Presenter m_previous;
};

} // namespace uc
