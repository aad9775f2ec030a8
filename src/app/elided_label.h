// A label for a path that may be long: it shows the whole text when there is
// room and otherwise elides it in the middle, keeping the start and the end,
// with the whole text as tooltip.
#pragma once

#include <QLabel>

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

}  // namespace skyrelay::app
