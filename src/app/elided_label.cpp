#include "app/elided_label.h"

#include <QEvent>
#include <QFontMetrics>
#include <algorithm>

namespace skyrelay::app {

ElidedLabel::ElidedLabel(const QString& alwaysWhole, QWidget* parent)
    : QLabel(parent), alwaysWhole_(alwaysWhole) {
  setTextFormat(Qt::PlainText);
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

void ElidedLabel::SetFullText(const QString& text, const QString& toolTip) {
  full_ = text;
  toolTip_ = toolTip;
  Elide();
  updateGeometry();
}

int ElidedLabel::TextWidth(const QString& text) const {
  const QMargins m = contentsMargins();
  return fontMetrics().horizontalAdvance(text) + 2 * margin() + m.left() + m.right() + 2;
}

QSize ElidedLabel::minimumSizeHint() const {
  return QSize(TextWidth(alwaysWhole_), QLabel::minimumSizeHint().height());
}

QSize ElidedLabel::sizeHint() const {
  // The whole text; where the window is narrower, the label takes less.
  return QSize(std::max(minimumSizeHint().width(), TextWidth(full_)), QLabel::sizeHint().height());
}

void ElidedLabel::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  Elide();
}

void ElidedLabel::changeEvent(QEvent* event) {
  QLabel::changeEvent(event);
  if (event->type() == QEvent::FontChange) Elide();
}

void ElidedLabel::Elide() {
  const int room = contentsRect().width() - 2 * margin() - 2;
  const QString shown = fontMetrics().horizontalAdvance(full_) <= room
                            ? full_
                            : fontMetrics().elidedText(full_, Qt::ElideMiddle, room);
  if (shown != text()) setText(shown);
  setToolTip(!toolTip_.isEmpty() ? toolTip_ : shown == full_ ? QString() : full_);
}

namespace {
// The room the style keeps free either side of a progress bar's text.
int BarTextRoom(const QProgressBar& bar) {
  return std::max(0, bar.contentsRect().width() - bar.fontMetrics().averageCharWidth() * 2);
}
}  // namespace

QString ElidedProgressBar::text() const {
  return fontMetrics().elidedText(QProgressBar::text(), Qt::ElideRight, BarTextRoom(*this));
}

bool ElidedProgressBar::TextFits() const {
  return fontMetrics().horizontalAdvance(QProgressBar::text()) <= BarTextRoom(*this);
}

}  // namespace skyrelay::app
