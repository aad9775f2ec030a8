// A label for a path that may be long: it shows the whole text when there is
// room and otherwise elides it in the middle, keeping the start and the end,
// with the whole text as tooltip.
#pragma once

#include <QLabel>
#include <QProgressBar>

namespace skyrelay::app {

class ElidedLabel : public QLabel {
  Q_OBJECT
 public:
  // `alwaysWhole`: a text the label always has room for, whatever the window.
  explicit ElidedLabel(const QString& alwaysWhole, QWidget* parent = nullptr);

  // `toolTip`: shown always; without one the label shows the whole text as
  // tooltip while it is elided.
  void SetFullText(const QString& text, const QString& toolTip = QString());
  const QString& fullText() const { return full_; }

  QSize minimumSizeHint() const override;
  QSize sizeHint() const override;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void Elide();
  int TextWidth(const QString& text) const;

  QString full_;
  QString toolTip_;
  QString alwaysWhole_;
};

// A progress bar whose text, where the bar is too narrow for it, is cut at its
// end with an ellipsis instead of being clipped by the style.
class ElidedProgressBar : public QProgressBar {
  Q_OBJECT
 public:
  using QProgressBar::QProgressBar;

  // The text as the bar shows it: the formatted text, elided to the room there is.
  QString text() const override;
  // Whether the text shows whole at the bar's present width.
  bool TextFits() const;
};

}  // namespace skyrelay::app
