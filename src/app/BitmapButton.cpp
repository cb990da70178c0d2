#include "app/BitmapButton.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
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

bool BitmapButton::isHot() const {
    return isEnabled() && underMouse();
}

void BitmapButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& pal = palette();
    QRect face = rect();

    painter.fillRect(face, pal.button());
    if (isDown()) {
        qDrawShadePanel(&painter, face, pal, true, 1);
    } else if (isHot()) {
        // The hot-track frame: two pixels of the hot-track colour, lit from the inside.
        painter.setPen(QPen(m_hotTrackColor, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(face.adjusted(1, 1, -1, -1));
        painter.fillRect(face.adjusted(2, 2, -2, -2), m_hotTrackColor.lighter(170));
    } else {
        qDrawWinButton(&painter, face, pal, false);
    }
    if (hasFocus()) {
        painter.setPen(m_highlightColor);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(face.adjusted(3, 3, -4, -4));
    }

    // The picture and the caption side by side, centred together.
    const QPixmap picture = currentPicture();
    const QString caption = text();
    const QFontMetrics metrics(font());
    const int textWidth = metrics.horizontalAdvance(QString(caption).remove(QLatin1Char('&')));
    const int pictureWidth = picture.isNull() ? 0 : picture.width() / picture.devicePixelRatio();
    const int contentWidth = pictureWidth + (pictureWidth > 0 && !caption.isEmpty() ? pictureSpacing : 0) + textWidth;
    const int shift = isDown() ? 1 : 0;
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
