#include "app/main_win.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QMenuBar>
#include <QMessageBox>
#include <algorithm>
#include <filesystem>

#include "app/app_text.h"
#include "app/window_host.h"
#include "app/zentrale_form.h"
#include "core/settings_file.h"
#include "package/description.h"
#include "update/commands.h"
#include "update/update_run.h"

namespace skyrelay::app {

namespace {

// Design size of the client area in twips.
constexpr int kClientWidth = 2970;
constexpr int kClientHeight = 2730;
// The port test buttons lie below the design client area; a window enlarged
// to this height shows them.
constexpr int kPortTestHeight = 3600;

// Point sizes of the design fonts.
constexpr double kLabelPointSize = 9.75;
constexpr double kHeadingPointSize = 12.0;

HostBinding WindowHostBinding(MainWin& window) {
  auto host = std::make_unique<WindowHost>(window);
  WindowHost* raw = host.get();
  return {std::move(host), [raw](Context* ctx) { raw->Attach(ctx); }};
}

QMessageBox::Icon BoxIcon(Icon icon) {
  switch (icon) {
    case Icon::Stop:
    case Icon::Critical:
      return QMessageBox::Critical;
    case Icon::Information:
      return QMessageBox::Information;
    case Icon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

MainWin::MainWin(HostFactory hostFactory, QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("MainWin"));
  setWindowTitle(QStringLiteral("TALON2-Update"));

  client_ = new QWidget(this);
  client_->setObjectName(QStringLiteral("ClientArea"));
  setCentralWidget(client_);

  // The design fonts, never smaller than the desktop's own.
  const double base = std::max(kLabelPointSize, QApplication::font().pointSizeF());
  QFont labelFont = QApplication::font();
  labelFont.setPointSizeF(base);
  QFont headingFont = labelFont;
  headingFont.setPointSizeF(base * kHeadingPointSize / kLabelPointSize);
  headingFont.setBold(true);
  client_->setFont(labelFont);

  // Created in tab order: "Update" first.
  updateBut_ = new QPushButton(QStringLiteral("Update"), client_);
  updateBut_->setObjectName(QStringLiteral("UpdateBut"));
  command1_ = new QPushButton(QStringLiteral("in"), client_);
  command1_->setObjectName(QStringLiteral("Command1"));
  command2_ = new QPushButton(QStringLiteral("out"), client_);
  command2_->setObjectName(QStringLiteral("Command2"));
  setTabOrder(updateBut_, command1_);
  setTabOrder(command1_, command2_);

  heading_ = AddLabel("UeberschriftLbl", QStringLiteral("TALONII - Update"), Qt::AlignCenter);
  heading_->setFont(headingFont);
  comPortCaption_ = AddLabel("label1_2", QStringLiteral("ComPort:"), Qt::AlignRight);
  comPortNrLbl_ = AddLabel("ComPortNrLbl", QStringLiteral("---"), Qt::AlignCenter);
  funkCaption_ = AddLabel("label1_0", QStringLiteral("Handregler - Version:"), Qt::AlignRight);
  versionFunkLbl_ = AddLabel("VersionFunkLbl", QStringLiteral("---"), Qt::AlignCenter);
  dsVersLbl_ = AddLabel("DS_Vers_Lbl", QStringLiteral("Digital Set - Version:"), Qt::AlignRight);
  versionZentraleLbl_ = AddLabel("VersionZentraleLbl", QStringLiteral("---"), Qt::AlignCenter);
  updLbl_ = AddLabel("UpDLbl", QString(), Qt::AlignCenter);

  using Fit = TwipsLayout::Fit;
  layout_.Place(heading_, 60, 30, 2865, 285, Fit::Both);
  layout_.Place(comPortCaption_, 60, 480, 2055, 285, Fit::Both);
  layout_.Place(comPortNrLbl_, 2250, 480, 600, 285);
  layout_.Place(funkCaption_, 60, 840, 2055, 285, Fit::Both);
  layout_.Place(versionFunkLbl_, 2250, 840, 600, 285, Fit::Both);
  layout_.Place(dsVersLbl_, 60, 1200, 2055, 285, Fit::Both);
  layout_.Place(versionZentraleLbl_, 2250, 1200, 600, 285, Fit::Both);
  layout_.Place(updateBut_, 810, 1680, 1395, 315);
  layout_.Place(updLbl_, 330, 2130, 2295, 315);
  layout_.Place(command1_, 390, 3150, 960, 330);
  layout_.Place(command2_, 1650, 3180, 960, 330);

  dateiMenu_ = menuBar()->addMenu(QStringLiteral("Datei"));
  dateiMenu_->setObjectName(QStringLiteral("Datei_menu"));
  upDataMenu_ = dateiMenu_->addAction(QStringLiteral("Update-Datei"));
  upDataMenu_->setObjectName(QStringLiteral("UpDataMenu"));
  einstellMenu_ = dateiMenu_->addAction(QStringLiteral("Einstellungen"));
  einstellMenu_->setObjectName(QStringLiteral("Einstellmenu"));
  endeMenu_ = dateiMenu_->addAction(QStringLiteral("Beenden"));
  endeMenu_->setObjectName(QString::fromUtf8("EndeMenü"));

  connect(upDataMenu_, &QAction::triggered, this, &MainWin::ChooseUpdateFile);
  connect(einstellMenu_, &QAction::triggered, this, &MainWin::ShowSettingsDialog);
  connect(endeMenu_, &QAction::triggered, this, &QWidget::close);
  connect(updateBut_, &QPushButton::clicked, this, &MainWin::RunUpdateCommand);
  connect(command1_, &QPushButton::clicked, this, [this] { RunPortTest(false); });
  connect(command2_, &QPushButton::clicked, this, [this] { RunPortTest(true); });

  binding_ = hostFactory ? hostFactory(*this) : WindowHostBinding(*this);
  ctx_ = std::make_unique<Context>(*binding_.host);
  if (binding_.attach) binding_.attach(ctx_.get());

  zentraleForm_ = new ZentraleForm(
      ctx_->settings,
      [this] {
        WriteSettings();
        ShowComPortNumber();
      },
      this);

  Relayout();
}

MainWin::~MainWin() {
  // The host stops driving the world before the world goes.
  if (binding_.attach) binding_.attach(nullptr);
  ctx_.reset();
}

QLabel* MainWin::AddLabel(const char* name, const QString& text, Qt::Alignment alignment) {
  auto* label = new QLabel(text, client_);
  label->setObjectName(QString::fromUtf8(name));
  label->setAlignment(alignment | Qt::AlignVCenter);
  return label;
}

void MainWin::Relayout() {
  layout_.Apply(client_);
  const QSize design = layout_.PixelSize(kClientWidth, kClientHeight);
  client_->setMinimumSize(design);
  const int menuHeight = menuBar()->sizeHint().height();
  setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  setMinimumSize(design.width(), design.height() + menuHeight);
  resize(design.width(), design.height() + menuHeight);
  // Enlarging the window down to here brings the port test buttons into view.
  setMaximumHeight(layout_.Pixels(kPortTestHeight) + menuHeight);
}

void MainWin::ApplyBrand(const Brand& brand) {
  setWindowTitle(QString::fromUtf8(brand.MainCaption.data(), brand.MainCaption.size()));
  heading_->setText(QString::fromUtf8(brand.Heading.data(), brand.Heading.size()));
  dsVersLbl_->setVisible(brand.digitalSetLabelsVisible);
  versionZentraleLbl_->setVisible(brand.digitalSetLabelsVisible);
  zentraleForm_->SetOption2Caption(QString::fromUtf8(brand.InterfaceOption2Caption.data(),
                                                     brand.InterfaceOption2Caption.size()));
  ctx_->ProductName = std::string(brand.ProductName);
  Relayout();
}

void MainWin::ShowStatus(const std::string& text) {
  updLbl_->setText(QString::fromStdString(text));
}

Answer MainWin::ShowMessage(const std::string& text, const std::string& title, Icon icon,
                            Buttons buttons) {
  // Once the user chose to quit, the rest of the run shows no more boxes.
  if (quitRequested_) return buttons == Buttons::Ok ? Answer::Ok : Answer::No;
  const Answer answer = AskUser(text, title, icon, buttons);
  if (running_) NoteRunError(runFirstError_, text, title, icon, buttons, answer);
  return answer;
}

Answer MainWin::AskUser(const std::string& text, const std::string& title, Icon icon,
                        Buttons buttons) {
  const QString boxText = DisplayText(text);
  const QString boxTitle = QString::fromStdString(title);
  if (messageHandler_) return messageHandler_(boxText, boxTitle, icon, buttons);
  QMessageBox box(BoxIcon(icon), boxTitle, boxText,
                  buttons == Buttons::YesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok,
                  isVisible() ? this : nullptr);
  if (buttons == Buttons::YesNo) box.setDefaultButton(QMessageBox::Yes);
  const int answer = box.exec();
  if (buttons == Buttons::Ok) return Answer::Ok;
  return answer == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

void MainWin::ShowVersionLabels(const std::string& funk, const std::string& zentrale) {
  versionFunkLbl_->setText(funk.empty() ? QStringLiteral("---") : QString::fromStdString(funk));
  versionZentraleLbl_->setText(zentrale.empty() ? QStringLiteral("---")
                                                : QString::fromStdString(zentrale));
}

void MainWin::ShowComPortNumber() {
  comPortNrLbl_->setText(QString::fromStdString(ctx_->settings.ComPortNumber));
}

void MainWin::AfterYield() {
  if (quitRequested_ && ctx_->MayAbandonRun()) throw QuitRequested{};
}

void MainWin::WriteSettings() {
  // A file that cannot be written has no message of its own.
  if (!settingsPath_.empty()) WriteSettingsFile(settingsPath_, ctx_->settings);
}

std::string MainWin::ShowFileDialog(const QString& title, const QString& extension) {
  if (fileDialog_) return fileDialog_(title, extension);
  QFileDialog dialog(this, title, QString::fromStdString(ProgramFolder()));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  // Both spellings, for dialogs that compare letter case.
  dialog.setNameFilter(
      QStringLiteral("PB Dateien (*.%1 *.%2)").arg(extension.toUpper(), extension.toLower()));
  dialog.selectFile(QString());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().constFirst().toStdString();
}

void MainWin::ChooseUpdateFile() {
  Settings& settings = ctx_->settings;
  settings.UpdateFilePath =
      ShowFileDialog(QStringLiteral("TUP-File --> Update-Laden: TUP-File"), QStringLiteral("TUP"));
  if (settings.UpdateFilePath.empty()) return;
  WriteSettings();
  ParseUpdateDescription(*ctx_, settings.UpdateFilePath);
}

void MainWin::ShowSettingsDialog() {
  zentraleForm_->FillFromSettings();
  zentraleForm_->show();
  zentraleForm_->raise();
  zentraleForm_->activateWindow();
}

void MainWin::RunWithPort(const std::function<void()>& command) {
  running_ = true;
  updateBut_->setEnabled(false);
  command1_->setEnabled(false);
  command2_->setEnabled(false);
  runFirstError_.clear();
  try {
    command();
  } catch (const QuitRequested&) {
    // A port test stopped by closing the window: nothing to release.
    ctx_->host.Port().Close();
  } catch (const std::exception& e) {
    ctx_->host.Port().Close();
    AskUser(std::string("Unerwarteter Fehler:\r") + e.what(), "Fehler!", Icon::Stop, Buttons::Ok);
  }
  running_ = false;
  updateBut_->setEnabled(true);
  command1_->setEnabled(true);
  command2_->setEnabled(true);
  // The run has released the station: now the window closes.
  if (quitRequested_) close();
}

void MainWin::RunUpdateCommand() {
  RunWithPort([this] {
    if (UpdateCommand(*ctx_)) ShowStatus(RunVerdict(*ctx_, runFirstError_));
  });
}

void MainWin::RunPortTest(bool noWait) {
  RunWithPort([this, noWait] { PortTestCommand(*ctx_, noWait); });
}

void MainWin::ConfirmQuitDuringRun() {
  if (quitRequested_) return;  // already ending: the release is under way
  quitRequested_ = AskUser("Update läuft noch. Wirklich beenden?", "Achtung!", Icon::Stop,
                           Buttons::YesNo) == Answer::Yes;
}

void MainWin::closeEvent(QCloseEvent* event) {
  // During a run the window stays until the run has ended and released the
  // station; otherwise ending the program ends it at once.
  if (running_) {
    ConfirmQuitDuringRun();
    event->ignore();
    return;
  }
  ctx_->host.Port().Close();
  zentraleForm_->hide();
  event->accept();
}

}  // namespace skyrelay::app
