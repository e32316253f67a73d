#include "clickableimage.h"

#include <QPainter>

namespace ui {

ClickableImage::ClickableImage(QWidget* parent) : QAbstractButton(parent) {
    setFocusPolicy(Qt::NoFocus);
}

QSize ClickableImage::sizeHint() const {
    return iconSize();
}

void ClickableImage::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    icon().paint(&painter, rect(), Qt::AlignCenter, isDown() ? QIcon::Active : QIcon::Normal);
}

}  // namespace ui
