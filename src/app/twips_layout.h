// Places controls at their design positions, given in twips (1/1440 inch, 15
// twips to a pixel at 96 dpi). The whole design is scaled by one factor: the
// screen's DPI, or more when the fonts need more room than the design gives
// them, so that every caption fits and the proportions stay as designed.
#pragma once

#include <QRect>
#include <QWidget>
#include <vector>

namespace skyrelay::app {

class TwipsLayout {
 public:
  // How a control takes part in choosing the scale.
  enum class Fit {
    None,   // placed only
    Width,  // its caption must fit its width
    Both,   // its caption must fit its width and its height
  };

  void Place(QWidget* widget, int left, int top, int width, int height, Fit fit = Fit::None);

  // The scale `reference` (its DPI) and the registered captions ask for.
  double NeededScale(const QWidget* reference) const;
  // Moves every control into place at that scale.
  void ApplyScale(double scale);
  // Both: the needed scale, at least `atLeast`. Returns the scale.
  double Apply(const QWidget* reference, double atLeast = 1.0);

  double scale() const { return scale_; }
  // A design length in pixels at the current scale.
  int Pixels(int twips) const;
  QSize PixelSize(int widthTwips, int heightTwips) const {
    return QSize(Pixels(widthTwips), Pixels(heightTwips));
  }

 private:
  struct Item {
    QWidget* widget;
    QRect twips;
    Fit fit;
  };
  std::vector<Item> items_;
  double scale_ = 1.0;
};

}  // namespace skyrelay::app
