#include "app/main_win.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>
#include <algorithm>

#include "app/app_text.h"
#include "app/interface_dialog.h"
#include "app/window_host.h"
#include "core/settings_file.h"
#include "core/translate.h"
#include "package/description.h"
#include "run/commands.h"
#include "run/report.h"
#include "run/update_run.h"

namespace skyrelay::app {

namespace {

// Point sizes of the design fonts.
constexpr double kLabelPointSize = 9.75;
constexpr double kHeadingPointSize = 12.0;

// Every text the core writes into the status line fits it; this is the longest.
std::string LongestStatus() {
  return Tr("Status", "Mehr als 100 Zeichendateien: weitere ignoriert");
}
// The question when the window is closed during a run. The firmware is only
// staged in the handheld's DataFlash until the installation starts; from then
// on the handheld installs it by itself.
std::string QuitDuringRunText() {
  return Tr("MainWin",
            "Update läuft noch. Wirklich beenden?\r\r"
            "Die Zentrale wird freigegeben. Hat die Installation noch nicht begonnen, behält der "
            "Handregler seine bisherige Firmware; das Update kann danach wiederholt werden. Eine "
            "begonnene Installation läuft im Handregler weiter: ihn dann nicht vom LocoNet "
            "trennen.");
}
// The release without the event loop gives up after this many seconds.
constexpr double kReleaseWithoutEventLoopLimit = 5.0;
// A progress line the bar always shows whole: a long firmware transfer with
// the time taken and the time left. Longer lines (the wait for the restart)
// are cut at their end.
RunProgress WidestUsualProgress() {
  RunProgress p;
  p.stageDone = p.stageTotal = 497;
  p.percent = 100;
  p.elapsed = 38 * 60;
  p.remaining = 38 * 60;
  return p;
}
// A port name the port label always shows whole.
constexpr const char* kUsualPortName = "/dev/ttyUSB0";
// Room the window manager takes from a title bar for the icon and the buttons.
constexpr int kTitleBarExtra = 160;

HostBinding WindowHostBinding(MainWin& window) {
  auto host = std::make_unique<WindowHost>(window);
  WindowHost* raw = host.get();
  return {std::move(host), [raw](Context* ctx) { raw->Attach(ctx ? &ctx->link : nullptr); },
          [raw] { raw->LeaveEventLoop(kReleaseWithoutEventLoopLimit); }};
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

// The brand's caption of the fast interfaces in the settings dialog.
std::string InterfaceCaption(std::string_view caption) {
  if (caption == kBrandFen.InterfaceOption2Caption) {
    return Tr("Settings", "Kontrada Basic oder Kontrada 2 oder Interface 71540");
  }
  if (caption == kBrandZb4.InterfaceOption2Caption) {
    return Tr("Settings", "QX9 oder Interface 71540");
  }
  return std::string(caption);
}

}  // namespace

MainWin::MainWin(HostFactory hostFactory, QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("MainWin"));
  setWindowTitle(QStringLiteral("TALON2-Update"));

  setWindowIcon(QIcon(QStringLiteral(":/icons/skyrelay-update.svg")));

  client_ = new QWidget(this);
  client_->setObjectName(QStringLiteral("ClientArea"));
  setCentralWidget(client_);
  content_ = new QWidget(client_);
  portTests_ = new QWidget(client_);

  // The design fonts, never smaller than the desktop's own.
  const double base = std::max(kLabelPointSize, QApplication::font().pointSizeF());
  QFont labelFont = QApplication::font();
  labelFont.setPointSizeF(base);
  QFont headingFont = labelFont;
  headingFont.setPointSizeF(base * kHeadingPointSize / kLabelPointSize);
  headingFont.setBold(true);
  client_->setFont(labelFont);

  // Created in tab order: "Update" first.
  updateButton_ = new QPushButton(QString::fromStdString(Tr("MainWin", "Update")), content_);
  updateButton_->setObjectName(QStringLiteral("UpdateButton"));
  // Enter starts the update only while the button has the focus.
  updateButton_->setAutoDefault(true);
  inButton_ = new QPushButton(QStringLiteral("in"), portTests_);
  inButton_->setObjectName(QStringLiteral("InButton"));
  outButton_ = new QPushButton(QStringLiteral("out"), portTests_);
  outButton_->setObjectName(QStringLiteral("OutButton"));
  setTabOrder(updateButton_, inButton_);
  setTabOrder(inButton_, outButton_);

  heading_ = AddLabel("HeadingLabel", QStringLiteral("TALONII - Update"), Qt::AlignCenter);
  heading_->setFont(headingFont);
  portCaption_ =
      AddLabel("PortCaption", QString::fromStdString(Tr("MainWin", "ComPort:")), Qt::AlignRight);
  portLabel_ = new ElidedLabel(QString::fromLatin1(kUsualPortName), content_);
  portLabel_->setObjectName(QStringLiteral("PortLabel"));
  portLabel_->setAlignment(Qt::AlignCenter);
  portLabel_->SetFullText(QStringLiteral("---"));
  packageCaption_ = AddLabel(
      "PackageCaption", QString::fromStdString(Tr("MainWin", "Update-Datei:")), Qt::AlignRight);
  packageLabel_ = new ElidedLabel(QStringLiteral("beispiel.tup"), content_);
  packageLabel_->setObjectName(QStringLiteral("PackageLabel"));
  packageLabel_->setAlignment(Qt::AlignCenter);
  packageLabel_->SetFullText(QStringLiteral("---"));
  radioCaption_ =
      AddLabel("RadioCaption", QString::fromStdString(Tr("MainWin", "Handregler - Version:")),
               Qt::AlignRight);
  radioVersionLabel_ = AddLabel("RadioVersionLabel", QStringLiteral("---"), Qt::AlignCenter);
  digitalSetCaption_ =
      AddLabel("DigitalSetCaption", QString::fromStdString(Tr("MainWin", "Digital Set - Version:")),
               Qt::AlignRight);
  digitalSetVersionLabel_ =
      AddLabel("DigitalSetVersionLabel", QStringLiteral("---"), Qt::AlignCenter);
  statusLabel_ = AddLabel("StatusLabel", QString(), Qt::AlignCenter);
  statusLabel_->setMinimumWidth(
      statusLabel_->fontMetrics().horizontalAdvance(QString::fromStdString(LongestStatus())) +
      statusLabel_->fontMetrics().averageCharWidth() * 2);
  // After a failed run the status line has a second line with the likely
  // cause, which may be longer than the window is wide.
  statusLabel_->setWordWrap(true);
  hintLabel_ = AddLabel("HintLabel", QString(), Qt::AlignCenter);
  hintLabel_->setWordWrap(true);
  hintLabel_->hide();
  progressBar_ = new ElidedProgressBar(content_);
  progressBar_->setObjectName(QStringLiteral("UpdateProgressBar"));
  progressBar_->setTextVisible(true);
  // Shown during a run; its room is kept so that the window does not jump.
  QSizePolicy barPolicy = progressBar_->sizePolicy();
  barPolicy.setRetainSizeWhenHidden(true);
  progressBar_->setSizePolicy(barPolicy);
  progressBar_->hide();
  backupLabel_ = new ElidedLabel(QString(), content_);
  backupLabel_->setObjectName(QStringLiteral("BackupLabel"));
  backupLabel_->setAlignment(Qt::AlignCenter);
  backupLabel_->hide();

  // The design's order and look: the heading, captions right-aligned beside
  // their values, the button and the status line centred under them.
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(labelFont.pointSize());
  // Empty columns either side keep the pairs centred in a wider window.
  grid->setColumnStretch(0, 1);
  grid->setColumnStretch(3, 1);
  const std::pair<QLabel*, QLabel*> rows[] = {{portCaption_, portLabel_},
                                              {packageCaption_, packageLabel_},
                                              {radioCaption_, radioVersionLabel_},
                                              {digitalSetCaption_, digitalSetVersionLabel_}};
  int row = 0;
  for (const auto& [caption, value] : rows) {
    grid->addWidget(caption, row, 1);
    grid->addWidget(value, row++, 2);
  }
  auto* column = new QVBoxLayout(content_);
  column->addStretch(1);
  column->addWidget(heading_);
  column->addSpacing(heading_->fontMetrics().height() / 2);
  column->addLayout(grid);
  column->addSpacing(heading_->fontMetrics().height() / 2);
  column->addWidget(updateButton_, 0, Qt::AlignHCenter);
  column->addWidget(hintLabel_);
  column->addWidget(progressBar_);
  column->addWidget(statusLabel_);
  column->addWidget(backupLabel_);
  column->addStretch(1);
  updateButton_->setMinimumWidth(updateButton_->fontMetrics().averageCharWidth() * 16);
  progressBar_->setMinimumWidth(progressBar_->fontMetrics().horizontalAdvance(
                                    QString::fromStdString(GermanProgress(WidestUsualProgress()))) +
                                progressBar_->fontMetrics().averageCharWidth() * 4);

  auto* tests = new QHBoxLayout(portTests_);
  tests->addStretch(1);
  tests->addWidget(inButton_);
  tests->addWidget(outButton_);
  tests->addStretch(1);
  portTests_->hide();
  auto* outer = new QVBoxLayout(client_);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);
  outer->addWidget(content_, 1);
  outer->addWidget(portTests_);
  client_->installEventFilter(this);

  fileMenu_ = menuBar()->addMenu(QString::fromStdString(Tr("MainWin", "&Datei")));
  fileMenu_->setObjectName(QStringLiteral("FileMenu"));
  updateFileAction_ = fileMenu_->addAction(QString::fromStdString(Tr("MainWin", "&Update-Datei")));
  updateFileAction_->setObjectName(QStringLiteral("UpdateFileAction"));
  updateFileAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  settingsAction_ = fileMenu_->addAction(QString::fromStdString(Tr("MainWin", "&Einstellungen")));
  settingsAction_->setObjectName(QStringLiteral("SettingsAction"));
  fileMenu_->addSeparator();
  backupAction_ = fileMenu_->addAction(QString::fromStdString(Tr("MainWin", "Sicherung &lesen …")));
  backupAction_->setObjectName(QStringLiteral("BackupAction"));
  backupAllAction_ = fileMenu_->addAction(
      QString::fromStdString(Tr("MainWin", "Sicherung mit &Texten und Zeichen")));
  backupAllAction_->setObjectName(QStringLiteral("BackupAllAction"));
  backupAllAction_->setCheckable(true);
  restoreAction_ =
      fileMenu_->addAction(QString::fromStdString(Tr("MainWin", "Sicherung &zurückschreiben …")));
  restoreAction_->setObjectName(QStringLiteral("RestoreAction"));
  fileMenu_->addSeparator();
  endAction_ = fileMenu_->addAction(QString::fromStdString(Tr("MainWin", "&Beenden")));
  endAction_->setObjectName(QStringLiteral("EndAction"));
  endAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  // F10 opens the menu, as on other desktops.
  auto* menuKey = new QShortcut(QKeySequence(Qt::Key_F10), this);
  connect(menuKey, &QShortcut::activated, this,
          [this] { menuBar()->setActiveAction(fileMenu_->menuAction()); });
  // The language names are the same in either language.
  languageMenu_ = menuBar()->addMenu(QString::fromStdString(Tr("MainWin", "&Sprache")));
  languageMenu_->setObjectName(QStringLiteral("LanguageMenu"));
  germanAction_ = languageMenu_->addAction(QStringLiteral("&Deutsch"));
  germanAction_->setObjectName(QStringLiteral("GermanAction"));
  englishAction_ = languageMenu_->addAction(QStringLiteral("&English"));
  englishAction_->setObjectName(QStringLiteral("EnglishAction"));
  auto* languages = new QActionGroup(this);
  for (QAction* action : {germanAction_, englishAction_}) {
    action->setCheckable(true);
    languages->addAction(action);
  }
  germanAction_->setChecked(true);
  connect(germanAction_, &QAction::triggered, this, [this] { ChooseLanguage(Language::German); });
  connect(englishAction_, &QAction::triggered, this, [this] { ChooseLanguage(Language::English); });
  helpMenu_ = menuBar()->addMenu(QString::fromStdString(Tr("MainWin", "&Hilfe")));
  helpMenu_->setObjectName(QStringLiteral("HelpMenu"));
  aboutAction_ = helpMenu_->addAction(QString::fromStdString(Tr("MainWin", "Ü&ber")));
  aboutAction_->setObjectName(QStringLiteral("AboutAction"));
  connect(aboutAction_, &QAction::triggered, this, &MainWin::ShowAbout);

  connect(updateFileAction_, &QAction::triggered, this, &MainWin::ChooseUpdateFile);
  connect(settingsAction_, &QAction::triggered, this, &MainWin::ShowSettingsDialog);
  connect(endAction_, &QAction::triggered, this, &QWidget::close);
  connect(backupAction_, &QAction::triggered, this, &MainWin::RunBackupCommand);
  connect(restoreAction_, &QAction::triggered, this, &MainWin::RunRestoreCommand);
  connect(updateButton_, &QPushButton::clicked, this, &MainWin::RunUpdateCommand);
  connect(inButton_, &QPushButton::clicked, this, [this] { RunPortTest(false); });
  connect(outButton_, &QPushButton::clicked, this, [this] { RunPortTest(true); });

  binding_ = hostFactory ? hostFactory(*this) : WindowHostBinding(*this);
  ctx_ = std::make_unique<Context>(*binding_.host);
  if (binding_.attach) binding_.attach(ctx_.get());

  interfaceDialog_ = new InterfaceDialog(
      ctx_->settings,
      [this] {
        WriteSettings();
        ShowComPortNumber();
        ShowReadiness();
      },
      this);

  ShowReadiness();
  FitToContent();
}

MainWin::~MainWin() {
  // The host stops driving the world before the world goes.
  if (binding_.attach) binding_.attach(nullptr);
  ctx_.reset();
}

QLabel* MainWin::AddLabel(const char* name, const QString& text, Qt::Alignment alignment) {
  auto* label = new QLabel(text, content_);
  label->setObjectName(QString::fromUtf8(name));
  label->setAlignment(alignment | Qt::AlignVCenter);
  return label;
}

void MainWin::FitToContent() {
  content_->layout()->activate();
  QSize needed = content_->minimumSizeHint();
  // The whole title readable in the title bar.
  QFont titleFont = QApplication::font();
  titleFont.setBold(true);
  const int titleWidth = QFontMetrics(titleFont).horizontalAdvance(windowTitle()) + kTitleBarExtra;
  needed.setWidth(std::max(needed.width(), titleWidth));
  client_->setMinimumSize(needed);
  // The first time the window takes the size its content asks for (a very
  // long port name not beyond part of the screen); later it only grows.
  QSize preferred = content_->sizeHint().expandedTo(needed);
  if (const QScreen* screen = this->screen()) {
    preferred.setWidth(std::max(
        needed.width(), std::min(preferred.width(), screen->availableSize().width() * 2 / 3)));
  }
  preferred.rheight() += menuBar()->sizeHint().height();
  resize(fitted_ ? size().expandedTo(preferred) : preferred);
  fitted_ = true;
}

void MainWin::PlacePortTests() {
  // Enlarging the window downwards brings the port test buttons into view;
  // hidden, they are out of the tab order too.
  const int needed = content_->sizeHint().height() + portTests_->sizeHint().height();
  const bool show = client_->height() >= needed;
  if (show != portTests_->isVisible()) portTests_->setVisible(show);
}

bool MainWin::eventFilter(QObject* watched, QEvent* event) {
  if (watched == client_ && event->type() == QEvent::Resize) PlacePortTests();
  return QMainWindow::eventFilter(watched, event);
}

void MainWin::ApplyBrand(const Brand& brand) {
  setWindowTitle(QString::fromUtf8(brand.MainCaption.data(), brand.MainCaption.size()));
  heading_->setText(QString::fromUtf8(brand.Heading.data(), brand.Heading.size()));
  digitalSetCaption_->setVisible(brand.digitalSetLabelsVisible);
  digitalSetVersionLabel_->setVisible(brand.digitalSetLabelsVisible);
  interfaceDialog_->SetOption2Caption(
      QString::fromStdString(InterfaceCaption(brand.InterfaceOption2Caption)));
  ctx_->ProductName = std::string(brand.ProductName);
  FitToContent();
}

void MainWin::ShowStatus(const std::string& text) {
  statusLabel_->setText(QString::fromStdString(text));
}

Answer MainWin::ShowMessage(const std::string& text, const std::string& title, Icon icon,
                            Buttons buttons, bool risky) {
  // Once the user chose to quit, the rest of the run shows no more boxes.
  if (quitRequested_) return buttons == Buttons::Ok ? Answer::Ok : Answer::No;
  // A signal that comes while the box is open closes it: a question is then
  // answered No.
  const Answer answer = AskUser(text, title, icon, buttons, risky);
  return answer;
}

Answer MainWin::AskUser(const std::string& text, const std::string& title, Icon icon,
                        Buttons buttons, bool defaultNo) {
  const QString boxText = DisplayText(text);
  const QString boxTitle = QString::fromStdString(title);
  if (messageHandler_) return messageHandler_(boxText, boxTitle, icon, buttons);
  QMessageBox box(BoxIcon(icon), boxTitle, boxText,
                  buttons == Buttons::YesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok,
                  isVisible() ? this : nullptr);
  if (buttons == Buttons::YesNo) {
    box.setDefaultButton(defaultNo ? QMessageBox::No : QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
  }
  const int answer = box.exec();
  if (buttons == Buttons::Ok) return Answer::Ok;
  return answer == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

void MainWin::ShowVersionLabels(const std::string& radio, const std::string& digitalSet) {
  radioVersionLabel_->setText(radio.empty() ? QStringLiteral("---")
                                            : QString::fromStdString(radio));
  digitalSetVersionLabel_->setText(digitalSet.empty() ? QStringLiteral("---")
                                                      : QString::fromStdString(digitalSet));
  // The versions come from a description that loaded: the one just chosen.
  const QString path = QString::fromStdString(ctx_->settings.UpdateFilePath);
  packageLabel_->SetFullText(path.isEmpty() ? QStringLiteral("---") : QFileInfo(path).fileName(),
                             path);
  FitToContent();
}

void MainWin::ShowComPortNumber() {
  portLabel_->SetFullText(QString::fromStdString(ctx_->settings.ComPortNumber));
  FitToContent();
}

void MainWin::ShowProgress(const RunProgress& progress) {
  const QString line = QString::fromStdString(GermanProgress(progress));
  // A per cent sign in a bar's format starts a placeholder unless doubled.
  QString format = line;
  progressBar_->setFormat(format.replace(QLatin1Char('%'), QStringLiteral("%%")));
  progressBar_->setToolTip(line);
  progressBar_->setRange(0, 100);
  progressBar_->setValue(std::clamp(progress.percent, 0, 100));
  progressBar_->show();
}

void MainWin::AfterYield() {
  if (quitRequested_ && ctx_->link.MayAbandonRun()) throw QuitRequested{};
}

void MainWin::EndBySignal() {
  // A second signal changes nothing: the release under way goes on.
  endedBySignal_ = true;
  if (running_) quitRequested_ = true;
  CloseModalWindows();
  // During a run the window closes once the run has released the station.
  if (!running_) close();
}

void MainWin::CloseModalWindows() {
  // Each box or dialog returns from its exec once the event loop runs again.
  while (QWidget* modal = QApplication::activeModalWidget()) {
    if (auto* dialog = qobject_cast<QDialog*>(modal)) {
      dialog->reject();
    } else {
      modal->close();
    }
    if (modal->isVisible()) break;  // it refuses to close; nothing more to do
  }
}

bool MainWin::ReleasePending() const {
  // A run records its end only after its release.
  return ctx_->report.end == RunEnd::NotRun &&
         (ctx_->stationEntryRequested || ctx_->updateModeActive || ctx_->link.MustFinish());
}

bool MainWin::ReleaseWithoutEventLoop() {
  if (!ReleasePending()) return false;
  // Nothing may show any more, and nothing may abandon the release.
  quitRequested_ = true;
  if (binding_.leaveEventLoop) binding_.leaveEventLoop();
  // The program may be ending from inside a tick that will never return.
  ctx_->link.EndAbandonedTick();
  // A release that was under way starts again from its beginning.
  ctx_->stationEntryRequested = true;
  ctx_->link.SetMustFinish(false);
  LeaveStationUpdateMode(*ctx_);
  ctx_->report.end = RunEnd::Cancelled;
  ctx_->report.endedAt = ctx_->host.Now();
  return true;
}

void MainWin::WriteSettings() {
  // A file that cannot be written has no message of its own.
  if (!settingsPath_.empty()) WriteSettingsFile(settingsPath_, ctx_->settings);
}

QString MainWin::FileDialogFolder() const {
  const std::string& chosen = ctx_->settings.UpdateFilePath;
  const std::string& last = chosen.empty() ? lastPackagePath_ : chosen;
  if (!last.empty()) {
    const QDir folder = QFileInfo(QString::fromStdString(last)).absoluteDir();
    if (folder.exists()) return folder.absolutePath();
  }
  return QDir::homePath();
}

std::string MainWin::ShowFileDialog(const QString& title, const QString& extension) {
  const QString folder = FileDialogFolder();
  if (fileDialog_) return fileDialog_(title, extension, folder);
  QFileDialog dialog(this, title, folder);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  // Both spellings, for dialogs that compare letter case.
  dialog.setNameFilter(QString::fromStdString(Tr("MainWin", "PB Dateien (*.%1 *.%2)"))
                           .arg(extension.toUpper(), extension.toLower()));
  dialog.selectFile(QString());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().constFirst().toStdString();
}

void MainWin::ChooseUpdateFile() {
  Settings& settings = ctx_->settings;
  if (!settings.UpdateFilePath.empty()) lastPackagePath_ = settings.UpdateFilePath;
  settings.UpdateFilePath =
      ShowFileDialog(QString::fromStdString(Tr("MainWin", "TUP-File --> Update-Laden: TUP-File")),
                     QStringLiteral("TUP"));
  if (settings.UpdateFilePath.empty()) {
    ShowReadiness();
    return;
  }
  WriteSettings();
  packageLabel_->SetFullText(QStringLiteral("---"));
  // The last run's progress belongs to another package.
  progressBar_->hide();
  LoadUpdateDescription(*ctx_, settings.UpdateFilePath);
  ShowReadiness();
}

void MainWin::ShowReadiness() {
  QStringList missing;
  const Settings& settings = ctx_->settings;
  if (settings.UpdateFilePath.empty()) {
    missing << QString::fromStdString(
        Tr("MainWin", "Keine Update-Datei gewählt (Datei → Update-Datei)."));
  } else if (!DescriptionNamesSomething(ctx_->desc)) {
    missing << QString::fromStdString(
        Tr("MainWin", "Die Update-Datei ist nicht geladen (Datei → Update-Datei)."));
  }
  if (const std::string setting = MissingPortSetting(settings); !setting.empty()) {
    missing << QString::fromStdString(setting + " " + SettingsHint());
  }
  const bool ready = missing.isEmpty();
  const bool wasEnabled = updateButton_->isEnabled();
  updateButton_->setEnabled(ready && !running_);
  const bool portSet = MissingPortSetting(settings).empty();
  backupAction_->setEnabled(portSet && !running_);
  restoreAction_->setEnabled(portSet && !running_);
  hintLabel_->setText(missing.join(QLatin1Char('\n')));
  if (hintLabel_->isHidden() != ready) {
    hintLabel_->setVisible(!ready);
    FitToContent();
  }
  // Enabled again: Enter starts the update, as after start-up.
  if (updateButton_->isEnabled() && !wasEnabled && isActiveWindow()) updateButton_->setFocus();
}

void MainWin::ShowAbout() {
  const std::string text =
      windowTitle().toStdString() + "\r" + "skyrelay-update " + SKYRELAY_VERSION + "\r\r" +
      Tr("MainWin", "Lizenz: keine angegeben; auch das Debian-Paket nennt keine.") + "\r" +
      Fill(Tr("MainWin", "Kontakt: %1"), {SKYRELAY_CONTACT}) + "\r\r" +
      Fill(Tr("MainWin", "Beschreibung: %1"), {SKYRELAY_README_PATH});
  AskUser(text, Tr("MainWin", "Über skyrelay-update"), Icon::Information, Buttons::Ok);
}

void MainWin::SetLanguage(Language language) {
  language_ = language;
  (language == Language::German ? germanAction_ : englishAction_)->setChecked(true);
}

void MainWin::ChooseLanguage(Language language) {
  SetLanguage(language);
  RememberLanguage(language);
  // The window's texts are made once; the chosen language shows from the next start.
  AskUser(language == Language::German ? "Die Sprache wechselt beim nächsten Start zu Deutsch."
                                       : "The language changes to English at the next start.",
          Tr("MainWin", "Sprache"), Icon::Information, Buttons::Ok);
}

void MainWin::ShowSettingsDialog() {
  interfaceDialog_->FillFromSettings();
  interfaceDialog_->show();
  interfaceDialog_->raise();
  interfaceDialog_->activateWindow();
}

void MainWin::SetCommandsEnabled(bool enabled) {
  // A package or port chosen in the middle of a run would mix two updates.
  for (QWidget* button : {static_cast<QWidget*>(inButton_), static_cast<QWidget*>(outButton_)}) {
    button->setEnabled(enabled);
  }
  updateFileAction_->setEnabled(enabled);
  settingsAction_->setEnabled(enabled);
  interfaceDialog_->setEnabled(enabled);
  ShowReadiness();
}

void MainWin::RunWithPort(const std::function<void()>& command) {
  running_ = true;
  SetCommandsEnabled(false);
  progressBar_->hide();
  progressBar_->reset();
  // The last update's backup is no outcome of this command.
  backupLabel_->hide();
  try {
    command();
  } catch (const QuitRequested&) {
    // A port test stopped by closing the window: nothing to release.
    ctx_->host.Port().Close();
  } catch (const std::exception& e) {
    ctx_->host.Port().Close();
    AskUser(Tr("MainWin", "Unerwarteter Fehler:") + "\r" + e.what(), Tr("MainWin", "Fehler!"),
            Icon::Stop, Buttons::Ok);
  }
  running_ = false;
  SetCommandsEnabled(true);
  // The run has released the station: now the window closes.
  if (quitRequested_) close();
}

void MainWin::RunUpdateCommand() {
  RunWithPort([this] {
    // The last run's end is no status of this one.
    statusLabel_->clear();
    UpdateCommand(*ctx_);
    if (ctx_->report.identification.ok()) {
      lastHandheld_ = ctx_->report.identification.identity;
    }
    // The status line has moved on since the backup; its path stays shown.
    if (ctx_->report.backup.end == BackupEnd::Saved && !ctx_->report.backup.path.empty()) {
      ShowBackupSaved(ctx_->report.backup.path);
    }
    // The core's own last status stays; a run that did not succeed (also one
    // that did not start) adds its likely cause and what to do, on a line of
    // its own.
    if (RunSucceeded(ctx_->report)) return;
    const QString cause = QString::fromStdString(GermanCause(ctx_->report));
    if (cause.isEmpty()) return;
    const QString status = statusLabel_->text();
    statusLabel_->setText(status.isEmpty() ? cause : status + QLatin1Char('\n') + cause);
    FitToContent();
  });
}

void MainWin::RunPortTest(bool noWait) {
  RunWithPort([this, noWait] { PortTestCommand(*ctx_, noWait); });
}

void MainWin::ShowBackupSaved(const std::string& path) {
  const QString line = QString::fromStdString(Fill(Tr("MainWin", "Sicherung: %1"), {path}));
  backupLabel_->SetFullText(line, line);
  if (backupLabel_->isHidden()) {
    backupLabel_->show();
    FitToContent();
  }
}

std::string MainWin::ShowSaveDialog(const QString& title, const QString& name) {
  const QString folder = QString::fromStdString(ctx_->dataFolder);
  if (saveDialog_) return saveDialog_(title, folder, name);
  // The dialog opens in the data folder even before the first backup.
  QDir().mkpath(folder);
  QFileDialog dialog(this, title, folder);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilter(QString::fromStdString(Tr("MainWin", "Sicherungen (*.hex)")));
  dialog.setDefaultSuffix(QStringLiteral("hex"));
  dialog.selectFile(name);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().constFirst().toStdString();
}

std::string MainWin::ShowBackupDialog(const QString& title) {
  const QString folder = QString::fromStdString(ctx_->dataFolder);
  if (fileDialog_) return fileDialog_(title, QStringLiteral("hex"), folder);
  QFileDialog dialog(this, title, QDir(folder).exists() ? folder : QDir::homePath());
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilter(QString::fromStdString(Tr("MainWin", "Sicherungen (*.hex *.HEX)")));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().constFirst().toStdString();
}

void MainWin::ShowOutcome(const std::string& what, const std::string& otherwise) {
  std::string cause = GermanCause(ctx_->report);
  if (cause.empty()) cause = otherwise;
  statusLabel_->setText(DisplayText(cause.empty() ? what : what + "\r" + cause));
  FitToContent();
}

void MainWin::RunBackupCommand() {
  if (running_ || !backupAction_->isEnabled()) return;
  const QString name =
      QString::fromStdString(BackupFileName(lastHandheld_, QDateTime::currentSecsSinceEpoch()));
  const std::string path =
      ShowSaveDialog(QString::fromStdString(Tr("MainWin", "Sicherung lesen")), name);
  if (path.empty()) return;
  const bool all = backupAllAction_->isChecked();
  RunWithPort([this, &path, all] {
    statusLabel_->clear();
    const BackupCommandResult r = BackupCommand(*ctx_, path, all);
    if (r.handheldAnswered) lastHandheld_ = r.identity;
    if (r.cancelled) {
      ShowOutcome(Tr("MainWin", "Sicherung abgebrochen"));
    } else if (r.portFailure) {
      ShowOutcome(Tr("MainWin", "Sicherung nicht möglich"), GermanMessage(*r.portFailure).text);
    } else if (!r.handheldAnswered) {
      ShowOutcome(Tr("MainWin", "Sicherung nicht möglich"));
    } else if (r.backup.end == BackupEnd::Saved) {
      statusLabel_->setText(DisplayText(Fill(Tr("Status", "Sicherung gespeichert: %1"), {path})));
    } else if (r.backup.end == BackupEnd::SaveFailed) {
      ShowOutcome(Fill(Tr("MainWin", "Sicherung nicht gespeichert: %1"), {path}),
                  r.backup.saveProblem);
    } else {
      ShowOutcome(Tr("MainWin", "Sicherung nicht gelesen: der Handregler antwortet nicht mehr."));
    }
  });
}

void MainWin::RunRestoreCommand() {
  if (running_ || !restoreAction_->isEnabled()) return;
  const std::string path =
      ShowBackupDialog(QString::fromStdString(Tr("MainWin", "Sicherung zurückschreiben")));
  if (path.empty()) return;
  RestoreFrom(path);
}

void MainWin::RestoreFrom(const std::string& path) {
  if (running_ || !restoreAction_->isEnabled()) return;
  RunWithPort([this, &path] {
    statusLabel_->clear();
    const RestoreResult r = RestoreCommand(*ctx_, path);
    if (!r.identity.articleNumber.empty()) lastHandheld_ = r.identity;
    const std::string written =
        Fill(Tr("MainWin", "%1 Seiten zurückgeschrieben"), {std::to_string(r.pagesWritten)});
    switch (r.end) {
      case RestoreEnd::FileUnusable:
        ShowOutcome(Fill(Tr("MainWin", "Nicht zurückgeschrieben: %1"), {path}), r.file.problem);
        return;
      case RestoreEnd::PortFailed:
        ShowOutcome(r.cancelled ? Tr("MainWin", "Zurückschreiben abgebrochen")
                                : Tr("MainWin", "Zurückschreiben nicht möglich"),
                    r.portFailure ? GermanMessage(*r.portFailure).text : std::string());
        return;
      case RestoreEnd::NoHandheld:
        ShowOutcome(Tr("MainWin", "Zurückschreiben nicht möglich"));
        return;
      case RestoreEnd::Declined:
        statusLabel_->setText(DisplayText(Tr("MainWin", "Nichts zurückgeschrieben.")));
        return;
      case RestoreEnd::Failed:
        ShowOutcome(Fill(r.cancelled ? Tr("MainWin", "Zurückschreiben abgebrochen (%1)")
                                     : Tr("MainWin",
                                          "Zurückschreiben abgebrochen: der Handregler antwortet "
                                          "nicht mehr (%1)."),
                         {written}));
        return;
      case RestoreEnd::NotRun:
      case RestoreEnd::Done:
        break;
    }
    std::string wrong;
    for (uint32_t page : r.pagesWrong) {
      char address[16];
      std::snprintf(address, sizeof address, "0x%06X", static_cast<unsigned>(page));
      wrong += std::string(wrong.empty() ? "" : ", ") + address + " (" + FlashAreaName(page) + ")";
    }
    if (r.pagesWrong.empty()) {
      statusLabel_->setText(DisplayText(written));
    } else {
      ShowOutcome(Fill(Tr("MainWin", "%1, %2 davon fehlerhaft: %3"),
                       {written, std::to_string(r.pagesWrong.size()), wrong}));
    }
  });
}

void MainWin::ConfirmQuitDuringRun() {
  if (quitRequested_) return;  // already ending: the release is under way
  const bool yes = AskUser(QuitDuringRunText(), Tr("MainWin", "Achtung!"), Icon::Stop,
                           Buttons::YesNo, true) == Answer::Yes;
  // A signal that came while the box was open has decided already.
  if (yes) quitRequested_ = true;
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
  interfaceDialog_->hide();
  event->accept();
  if (endedBySignal_) emit closedBySignal();
}

}  // namespace skyrelay::app
