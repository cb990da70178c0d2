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
    m_window.Memo()->appendPlainText(line);
}

void MergeWindowView::setGaugeVisible(bool visible) {
    m_window.PB()->setVisible(visible);
}

void MergeWindowView::setGaugeMaximum(int maximum) {
    m_window.PB()->setMaximum(maximum);
    m_window.PB()->repaint();
}

void MergeWindowView::setGaugePosition(int position) {
    // The run keeps the event loop busy until it ends: draw the new share now.
    m_window.PB()->setValue(position);
    m_window.PB()->repaint();
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
