#include "app/interface_dialog.h"

#include <QButtonGroup>
#include <QEvent>
#include <QHBoxLayout>
#include <QStyle>
#include <QVBoxLayout>

#include "app/app_text.h"
#include "core/translate.h"
#include "qt/serial_ports.h"

namespace skyrelay::app {

namespace {
// A port name the text box always shows whole.
constexpr const char* kLongPortName = "/dev/ttyUSB10";
}  // namespace

InterfaceDialog::InterfaceDialog(Settings& settings, std::function<void()> onAccepted,
                                 QWidget* parent)
    : QDialog(parent), settings_(settings), onAccepted_(std::move(onAccepted)) {
  setObjectName(QStringLiteral("InterfaceDialog"));
  setWindowTitle(QString::fromStdString(Tr("Settings", "Auswahl der Zentrale")));
  setModal(false);

  frame_ = new QGroupBox(QString::fromStdString(Tr("Settings", "Interface:")), this);
  frame_->setObjectName(QStringLiteral("InterfaceFrame"));
  const std::string captions[3] = {
      Tr("Settings", "Kontrada 1 oder Duoplex"), "Interface 71530",
      Tr("Settings", "Kontrada Basic oder Kontrada 2 oder Interface 71540")};
  // What each choice is for, in a line under it.
  const std::string notes[3] = {
      Tr("Settings", "Der eigene serielle Anschluss der Zentrale."),
      Tr("Settings", "Öffnet keinen Port: damit ist kein Update möglich."),
      Tr("Settings",
         "USB-LocoNet-Adapter und andere schnelle Interfaces mit 115200 Baud:\n"
         "ein USB-LocoNet-Adapter ist diese Wahl.")};
  group_ = new QButtonGroup(this);
  const int indent = style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth) +
                     style()->pixelMetric(QStyle::PM_RadioButtonLabelSpacing);
  for (int i = 0; i < 3; i++) {
    options_[i] = new QRadioButton(QString::fromStdString(captions[i]), frame_);
    options_[i]->setObjectName(QStringLiteral("InterfaceOption%1").arg(i));
    group_->addButton(options_[i], i);
    notes_[i] = new QLabel(QString::fromStdString(notes[i]), frame_);
    notes_[i]->setObjectName(QStringLiteral("InterfaceNote%1").arg(i));
    notes_[i]->setContentsMargins(indent, 0, 0, 0);
  }
  // "Interface 71530" opens no port; it is offered only when it is the stored
  // choice, so that such a setting is shown and kept.
  options_[1]->setVisible(false);
  notes_[1]->setVisible(false);

  portCaption_ = new QLabel(QString::fromStdString(Tr("Settings", "ComPort Nr. :")), this);
  portCaption_->setObjectName(QStringLiteral("PortCaption"));
  portText_ = new QLineEdit(this);
  portText_->setObjectName(QStringLiteral("PortText"));
  portList_ = new QComboBox(this);
  portList_->setObjectName(QStringLiteral("PortList"));
  portList_->setToolTip(QString::fromStdString(Tr("Settings", "Serielle Ports dieses Rechners")));
  connect(portList_, &QComboBox::activated, this, [this](int index) {
    const QString name = portList_->itemData(index).toString();
    if (!name.isEmpty()) portText_->setText(name);
  });

  okButton_ = new QPushButton(QStringLiteral("OK"), this);
  okButton_->setObjectName(QStringLiteral("OkButton"));
  okButton_->setDefault(true);
  cancelButton_ = new QPushButton(QString::fromStdString(Tr("Settings", "Abbrechen")), this);
  cancelButton_->setObjectName(QStringLiteral("CancelButton"));
  versionLabel_ = new QLabel(QString::fromStdString(Tr("Settings", "Version:")), this);
  versionLabel_->setObjectName(QStringLiteral("VersionLabel"));
  versionLabel_->setAlignment(Qt::AlignCenter);
  connect(okButton_, &QPushButton::clicked, this, &InterfaceDialog::ApplyChoice);
  connect(cancelButton_, &QPushButton::clicked, this, &QWidget::hide);

  // The design's arrangement: the interface frame with the port below it on
  // the left, "OK" and "Abbrechen" at the top right, the version under them.
  auto* frameColumn = new QVBoxLayout(frame_);
  for (int i = 0; i < 3; i++) {
    frameColumn->addWidget(options_[i]);
    frameColumn->addWidget(notes_[i]);
  }
  portText_->setMinimumWidth(
      portText_->fontMetrics().horizontalAdvance(QString::fromLatin1(kLongPortName)) +
      portText_->fontMetrics().averageCharWidth() * 3);
  portCaption_->setBuddy(portText_);
  // A name longer than the box can be read whole in its tooltip.
  connect(portText_, &QLineEdit::textChanged, portText_, &QWidget::setToolTip);
  auto* portRow = new QHBoxLayout;
  portRow->addWidget(portCaption_);
  portRow->addWidget(portText_, 1);
  portRow->addWidget(portList_, 1);
  auto* left = new QVBoxLayout;
  left->addWidget(frame_);
  left->addLayout(portRow);
  auto* right = new QVBoxLayout;
  right->addWidget(okButton_);
  right->addWidget(cancelButton_);
  right->addStretch(1);
  right->addWidget(versionLabel_);
  auto* whole = new QHBoxLayout(this);
  whole->addLayout(left, 1);
  whole->addSpacing(fontMetrics().averageCharWidth() * 2);
  whole->addLayout(right);
  whole->setSizeConstraint(QLayout::SetMinimumSize);
  // Room for the whole title beside the title bar's buttons.
  QFont titleFont = font();
  titleFont.setBold(true);
  setMinimumWidth(QFontMetrics(titleFont).horizontalAdvance(windowTitle()) + 160);
  FitLayout();
}

void InterfaceDialog::SetOption2Caption(const QString& caption) {
  options_[2]->setText(caption);
  FitLayout();
}

void InterfaceDialog::FitLayout() {
  // Also before the dialog is first shown: the frame lays out its options only
  // when told while hidden.
  adjustSize();
  frame_->layout()->activate();
}

void InterfaceDialog::FillFromSettings() {
  // An exclusive group keeps one option checked; clearing all needs a moment
  // without exclusivity (an interface kind outside 1 to 3 shows none).
  group_->setExclusive(false);
  for (QRadioButton* option : options_) option->setChecked(false);
  group_->setExclusive(true);
  const int kind = settings_.InterfaceKind;
  options_[1]->setVisible(kind == 2);
  notes_[1]->setVisible(kind == 2);
  FitLayout();
  if (kind >= 1 && kind <= 3) options_[kind - 1]->setChecked(true);
  portText_->setText(QString::fromStdString(settings_.ComPortNumber));
  versionLabel_->setText(ProgramVersionText());
  FillPortList();
}

void InterfaceDialog::FillPortList() {
  portList_->clear();
  const std::vector<SerialPortEntry> ports = ListSerialPorts();
  portList_->addItem(ports.empty()
                         ? QString::fromStdString(Tr("Settings", "(keine Ports gefunden)"))
                         : QString::fromStdString(Tr("Settings", "Ports …")));
  for (const SerialPortEntry& port : ports) {
    const QString name = QString::fromStdString(port.name);
    const QString details = QString::fromStdString(DescribeSerialPort(port));
    portList_->addItem(details.isEmpty() ? name : name + QStringLiteral(" – ") + details, name);
    portList_->setItemData(portList_->count() - 1, QString::fromStdString(port.location),
                           Qt::ToolTipRole);
  }
}

void InterfaceDialog::ApplyChoice() {
  for (int i = 0; i < 3; i++) {
    if (options_[i]->isChecked()) settings_.InterfaceKind = i + 1;
  }
  settings_.ComPortNumber = portText_->text().toStdString();
  hide();
  if (onAccepted_) onAccepted_();
}

bool InterfaceDialog::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) FillFromSettings();
  return QDialog::event(event);
}

}  // namespace skyrelay::app
