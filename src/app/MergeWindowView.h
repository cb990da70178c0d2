#pragma once

#include "merge/MergeRun.h"

namespace uc {

class TFPrin;

// The merge run's view of the main window: the log PMemo/Memo, the gauge PB, btnProcessa, and the
// closing boxes through the message-box seam.
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
    TFPrin& m_window;
};

} // namespace uc
