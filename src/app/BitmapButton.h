#pragma once

#include <QColor>
#include <QPixmap>
#include <QPushButton>

namespace uc {

// A push button with a picture left of its caption, taken from a strip of two equal squares
// side by side: the first for the enabled button, the second, greyed, for the disabled one.
// While the mouse is over it, it is framed in its hot-track colour; while pressed, its face takes
// the highlight colour and its caption the text highlight colour (by default the button face).
class BitmapButton : public QPushButton {
    Q_OBJECT
    Q_PROPERTY(QPixmap glyph READ glyph WRITE setGlyph)
    Q_PROPERTY(QColor hotTrackColor READ hotTrackColor WRITE setHotTrackColor)
    Q_PROPERTY(QColor highlightColor READ highlightColor WRITE setHighlightColor)
    Q_PROPERTY(QColor textHighlightColor READ textHighlightColor WRITE setTextHighlightColor)
public:
    explicit BitmapButton(QWidget* parent = nullptr);

    const QPixmap& glyph() const { return m_glyph; }
    void setGlyph(const QPixmap& strip);
    // The picture drawn in the current state.
    QPixmap currentPicture() const;

    const QColor& hotTrackColor() const { return m_hotTrackColor; }
    void setHotTrackColor(const QColor& color);
    const QColor& highlightColor() const { return m_highlightColor; }
    void setHighlightColor(const QColor& color);
    // Invalid: the palette's button-face colour.
    const QColor& textHighlightColor() const { return m_textHighlightColor; }
    void setTextHighlightColor(const QColor& color);

    // Whether the mouse is over the enabled button, so that it is drawn hot.
    bool isHot() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_glyph;
    QColor m_hotTrackColor{255, 199, 60};
    QColor m_highlightColor{106, 141, 244};
    QColor m_textHighlightColor;
};

} // namespace uc
