#include "app/MergeWindowView.h"

#include "app/BitmapButton.h"
#include "app/MessageBoxes.h"
#include "app/TFPrin.h"

#include <QFrame>
#include <QPlainTextEdit>
#include <QProgressBar>

namespace uc {

MergeWindowView::MergeWindowView(TFPrin& window) : m_window(window) {}

void MergeWindowView::showLog() {
    m_window.PMemo()->show();
}

void MergeWindowView::clearLog() {
    m_window.Memo()->clear();
}

void MergeWindowView::appendLog(const QString& line) {
    // The line joins the log's text now, and the log keeps following its last line; it is drawn
    // with the window's next drawing. Left to itself the log would move its drawn image up by one
    // line for every line appended, though the window shows only where it ends up.
    QPlainTextEdit* memo = m_window.Memo();
    memo->setUpdatesEnabled(false);
    memo->appendPlainText(line);
    memo->setUpdatesEnabled(true);
}

void MergeWindowView::setGaugeVisible(bool visible) {
    m_window.PB()->setVisible(visible);
    m_gaugeDrawn.reset();
}

template <class Change> void MergeWindowView::changeGauge(Change change) {
    QProgressBar* gauge = m_window.PB();
    // The bar draws itself at once on some changes of its own accord, also when its text stays:
    // here it is drawn exactly when the percentage changes. A change that does not move the
    // percentage is drawn with the window's next drawing.
    gauge->setUpdatesEnabled(false);
    change(*gauge);
    gauge->setUpdatesEnabled(true);
    const QString shown = gauge->text();
    if (gauge->isVisible() && m_gaugeDrawn != shown) {
        gauge->repaint();
        m_gaugeDrawn = shown;
    }
}

void MergeWindowView::setGaugeMaximum(int maximum) {
    changeGauge([maximum](QProgressBar& gauge) { gauge.setMaximum(maximum); });
}

void MergeWindowView::setGaugePosition(int position) {
    changeGauge([position](QProgressBar& gauge) { gauge.setValue(position); });
}

void MergeWindowView::setButtonEnabled(bool enabled) {
    m_window.btnProcessa()->setEnabled(enabled);
}

void MergeWindowView::information(const QString& text) {
    MessageBoxes::information(&m_window, QStringLiteral("Informação"), text);
}

void MergeWindowView::error(const QString& text) {
    MessageBoxes::error(&m_window, QStringLiteral("Erro"), text);
}

} // namespace uc
