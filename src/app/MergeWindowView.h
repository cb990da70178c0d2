#pragma once

#include "merge/MergeRun.h"

#include <optional>

namespace uc {

class TFPrin;

// The merge run's view of the main window: the log PMemo/Memo, the gauge PB, btnProcessa, and the
// closing boxes through the message-box seam.
//
// The run holds the message loop from the click to its closing box, so nothing of the window is
// drawn meanwhile except what is drawn at once: the gauge, whenever the percentage it shows changes
// (and when it first shows after appearing), and with it whatever else of the window has changed
// since the last drawing, the log included. The log's text is always up to date.
class MergeWindowView : public MergeView {
public:
    explicit MergeWindowView(TFPrin& window);

    void showLog() override;
    void clearLog() override;
    void appendLog(const QString& line) override;
    void setGaugeVisible(bool visible) override;
    void setGaugeMaximum(int maximum) override;
    void setGaugePosition(int position) override;
    void setButtonEnabled(bool enabled) override;
    void information(const QString& text) override;
    void error(const QString& text) override;

private:
    // Draws the gauge now when what it shows differs from its last drawing since it appeared.
    template <class Change> void changeGauge(Change change);

    TFPrin& m_window;
    // The text the gauge showed when last drawn at once; none since it appeared.
    std::optional<QString> m_gaugeDrawn;
};

} // namespace uc
