#include "app/twips_layout.h"

#include <QLabel>
#include <algorithm>
#include <cmath>

namespace skyrelay::app {

namespace {
constexpr double kTwipsPerPixel = 15.0;
// A layout never grows beyond this, whatever a caption asks for.
constexpr double kMaxScale = 4.0;

// The room a control's caption needs, in pixels.
QSize CaptionSize(const QWidget* widget) {
  if (const auto* label = qobject_cast<const QLabel*>(widget)) {
    const QFontMetrics metrics(label->font());
    const QRect text = metrics.boundingRect(QRect(), Qt::TextShowMnemonic, label->text());
    return QSize(text.width() + 2 * label->margin() + 2, metrics.height());
  }
  return widget->sizeHint();
}
}  // namespace

void TwipsLayout::Place(QWidget* widget, int left, int top, int width, int height, Fit fit) {
  items_.push_back({widget, QRect(left, top, width, height), fit});
}

int TwipsLayout::Pixels(int twips) const {
  return static_cast<int>(std::lround(twips / kTwipsPerPixel * scale_));
}

double TwipsLayout::NeededScale(const QWidget* reference) const {
  double scale = std::max(1.0, reference->logicalDpiY() / 96.0);
  for (const Item& item : items_) {
    if (item.fit == Fit::None || item.widget->isHidden()) continue;
    const QSize needed = CaptionSize(item.widget);
    scale = std::max(scale, needed.width() * kTwipsPerPixel / item.twips.width());
    if (item.fit == Fit::Both) {
      scale = std::max(scale, needed.height() * kTwipsPerPixel / item.twips.height());
    }
  }
  return std::min(scale, kMaxScale);
}

void TwipsLayout::ApplyScale(double scale) {
  scale_ = scale;
  for (const Item& item : items_) {
    item.widget->setGeometry(Pixels(item.twips.left()), Pixels(item.twips.top()),
                             Pixels(item.twips.width()), Pixels(item.twips.height()));
  }
}

double TwipsLayout::Apply(const QWidget* reference, double atLeast) {
  ApplyScale(std::max(NeededScale(reference), atLeast));
  return scale_;
}

}  // namespace skyrelay::app
