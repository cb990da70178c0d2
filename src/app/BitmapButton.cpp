#include "app/BitmapButton.h"

#include <QPainter>
#include <QStyle>
#include <qdrawutil.h>

namespace uc {

namespace {
// Between the picture and the caption.
constexpr int pictureSpacing = 4;
} // namespace

BitmapButton::BitmapButton(QWidget* parent) : QPushButton(parent) {
    // Repaint on entering and leaving, for the hot-track look.
    setAttribute(Qt::WA_Hover);
}

void BitmapButton::setGlyph(const QPixmap& strip) {
    m_glyph = strip;
    update();
}

QPixmap BitmapButton::currentPicture() const {
    if (m_glyph.isNull())
        return {};
    const int side = m_glyph.height();
    const bool hasDisabled = m_glyph.width() >= 2 * side;
    const int x = !isEnabled() && hasDisabled ? side : 0;
    return m_glyph.copy(x, 0, side, side);
}

void BitmapButton::setHotTrackColor(const QColor& color) {
    m_hotTrackColor = color;
    update();
}

void BitmapButton::setHighlightColor(const QColor& color) {
    m_highlightColor = color;
    update();
}

void BitmapButton::setTextHighlightColor(const QColor& color) {
    m_textHighlightColor = color;
    update();
}

bool BitmapButton::isHot() const {
    return isEnabled() && underMouse();
}

void BitmapButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QPalette pal = palette();
    const QRect face = rect();
    const bool down = isDown();

    if (down) {
        // Pressed: the face in the highlight colour, the caption in the text highlight colour.
        painter.fillRect(face, m_highlightColor);
        qDrawShadePanel(&painter, face, pal, true, 1);
        pal.setColor(QPalette::ButtonText,
                     m_textHighlightColor.isValid() ? m_textHighlightColor : pal.color(QPalette::Button));
    } else if (isHot()) {
        // The hot-track frame: two pixels of the hot-track colour around a lighter face.
        painter.fillRect(face, m_hotTrackColor.lighter(170));
        painter.setPen(QPen(m_hotTrackColor, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(face.adjusted(1, 1, -1, -1));
    } else {
        painter.fillRect(face, pal.button());
        qDrawWinButton(&painter, face, pal, false);
    }
    if (hasFocus()) {
        painter.setPen(QPen(pal.color(QPalette::ButtonText), 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(face.adjusted(4, 4, -5, -5));
    }

    // The picture and the caption side by side, centred together.
    const QPixmap picture = currentPicture();
    const QString caption = text();
    const QFontMetrics metrics(font());
    const int textWidth = metrics.horizontalAdvance(QString(caption).remove(QLatin1Char('&')));
    const int pictureWidth = picture.isNull() ? 0 : picture.width() / picture.devicePixelRatio();
    const int contentWidth = pictureWidth + (pictureWidth > 0 && !caption.isEmpty() ? pictureSpacing : 0) + textWidth;
    const int shift = down ? 1 : 0;
    int x = face.left() + (face.width() - contentWidth) / 2 + shift;
    if (!picture.isNull()) {
        const int pictureHeight = picture.height() / picture.devicePixelRatio();
        painter.drawPixmap(x, face.top() + (face.height() - pictureHeight) / 2 + shift, picture);
        x += pictureWidth + pictureSpacing;
    }
    const QRect textRect(x, face.top() + shift, textWidth + 1, face.height());
    style()->drawItemText(&painter, textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic, pal, isEnabled(),
                          caption, QPalette::ButtonText);
}

} // namespace uc
