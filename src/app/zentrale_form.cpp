#include "app/zentrale_form.h"

#include <QButtonGroup>
#include <QEvent>
#include <QSerialPortInfo>
#include <algorithm>

#include "app/app_text.h"

namespace skyrelay::app {

namespace {
// Design size of the client area in twips.
constexpr int kClientWidth = 6090;
constexpr int kClientHeight = 2100;
}  // namespace

ZentraleForm::ZentraleForm(Settings& settings, std::function<void()> onAccepted, QWidget* parent)
    : QDialog(parent), settings_(settings), onAccepted_(std::move(onAccepted)) {
  setObjectName(QStringLiteral("ZentraleForm"));
  setWindowTitle(QStringLiteral("Auswahl der Zentrale"));
  setModal(false);

  frame_ = new QGroupBox(QStringLiteral("Interface:"), this);
  frame_->setObjectName(QStringLiteral("Frame1"));
  const char* captions[3] = {"Kontrada 1 oder Duoplex", "Interface 71530",
                             "Kontrada Basic oder Kontrada 2 oder Interface 71540"};
  group_ = new QButtonGroup(this);
  for (int i = 0; i < 3; i++) {
    options_[i] = new QRadioButton(QString::fromUtf8(captions[i]), frame_);
    options_[i]->setObjectName(QStringLiteral("Iopt%1").arg(i));
    group_->addButton(options_[i], i);
  }
  // "Interface 71530" opens no port; it is offered only when it is the stored
  // choice, so that such a setting is shown and kept.
  options_[1]->setVisible(false);

  portLabel_ = new QLabel(QStringLiteral("ComPort Nr. :"), this);
  portLabel_->setObjectName(QStringLiteral("Label1"));
  portText_ = new QLineEdit(this);
  portText_->setObjectName(QStringLiteral("ComPortNrTxt"));
  portList_ = new QComboBox(this);
  portList_->setObjectName(QStringLiteral("PortListBox"));
  portList_->setToolTip(QStringLiteral("Serielle Ports dieses Rechners"));
  connect(portList_, &QComboBox::activated, this, [this](int index) {
    const QString name = portList_->itemData(index).toString();
    if (!name.isEmpty()) portText_->setText(name);
  });

  okButton_ = new QPushButton(QStringLiteral("OK"), this);
  okButton_->setObjectName(QStringLiteral("OKButton"));
  okButton_->setDefault(true);
  cancelButton_ = new QPushButton(QStringLiteral("Abbrechen"), this);
  cancelButton_->setObjectName(QStringLiteral("CancelButton"));
  versionLabel_ = new QLabel(QStringLiteral("Version:"), this);
  versionLabel_->setObjectName(QStringLiteral("VersionLbl"));
  versionLabel_->setAlignment(Qt::AlignCenter);
  connect(okButton_, &QPushButton::clicked, this, &ZentraleForm::TakeOver);
  connect(cancelButton_, &QPushButton::clicked, this, &QWidget::hide);

  layout_.Place(frame_, 180, 120, 4395, 1275);
  // The text box covers the label's right end; the caption must fit before it.
  layout_.Place(portLabel_, 330, 1590, 1410 - 330, 285, TwipsLayout::Fit::Width);
  layout_.Place(portText_, 1410, 1560, 615, 315);
  layout_.Place(portList_, 2130, 1560, 2445, 315);
  layout_.Place(okButton_, 4740, 240, 1215, 375);
  layout_.Place(cancelButton_, 4740, 720, 1215, 375);
  layout_.Place(versionLabel_, 4740, 1800, 1185, 195, TwipsLayout::Fit::Width);
  frameLayout_.Place(options_[0], 240, 390, 2535, 255, TwipsLayout::Fit::Width);
  frameLayout_.Place(options_[1], 1290, 570, 2535, 255, TwipsLayout::Fit::Width);
  frameLayout_.Place(options_[2], 240, 780, 4095, 255, TwipsLayout::Fit::Width);
  Relayout();
}

void ZentraleForm::Relayout() {
  // One scale for the form and the options in its frame.
  const double scale = std::max(frameLayout_.NeededScale(this), layout_.NeededScale(this));
  frameLayout_.ApplyScale(scale);
  layout_.ApplyScale(scale);
  setFixedSize(layout_.PixelSize(kClientWidth, kClientHeight));
}

void ZentraleForm::SetOption2Caption(const QString& caption) {
  options_[2]->setText(caption);
  Relayout();
}

void ZentraleForm::FillFromSettings() {
  // An exclusive group keeps one option checked; clearing all needs a moment
  // without exclusivity (an interface kind outside 1 to 3 shows none).
  group_->setExclusive(false);
  for (QRadioButton* option : options_) option->setChecked(false);
  group_->setExclusive(true);
  const int kind = settings_.InterfaceKind;
  options_[1]->setVisible(kind == 2);
  if (kind >= 1 && kind <= 3) options_[kind - 1]->setChecked(true);
  portText_->setText(QString::fromStdString(settings_.ComPortNumber));
  versionLabel_->setText(ProgramVersionText());
  FillPortList();
}

void ZentraleForm::FillPortList() {
  portList_->clear();
  QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
  std::sort(ports.begin(), ports.end(), [](const QSerialPortInfo& a, const QSerialPortInfo& b) {
    return a.portName() < b.portName();
  });
  portList_->addItem(ports.isEmpty() ? QStringLiteral("(keine Ports gefunden)")
                                     : QStringLiteral("Ports …"));
  for (const QSerialPortInfo& port : ports) {
    QString caption = port.portName();
    if (!port.description().isEmpty()) caption += QStringLiteral(" – ") + port.description();
    portList_->addItem(caption, port.portName());
  }
}

void ZentraleForm::TakeOver() {
  for (int i = 0; i < 3; i++) {
    if (options_[i]->isChecked()) settings_.InterfaceKind = i + 1;
  }
  settings_.ComPortNumber = portText_->text().toStdString();
  hide();
  if (onAccepted_) onAccepted_();
}

bool ZentraleForm::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) FillFromSettings();
  return QDialog::event(event);
}

}  // namespace skyrelay::app
