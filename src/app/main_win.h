// MainWin: the desktop program's main window. It owns the world the commands
// run in (the host and the shared state), shows the loaded package, the
// announced versions, the serial port, the status line and a progress bar,
// and offers the commands "Update-Datei",
// "Einstellungen", "Sicherung lesen …", "Sicherung zurückschreiben …", "Beenden",
// "Über" and "Update" and the port tests "in" and "out".
#pragma once

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <functional>
#include <memory>
#include <string>

#include "app/elided_label.h"
#include "core/brand.h"
#include "core/host.h"
#include "qt/language.h"
#include "run/backup.h"
#include "run/context.h"

namespace skyrelay::app {

class MainWin;
class InterfaceDialog;

// Thrown out of a yield when the window was closed during a run; the run
// releases the command station and returns to the command that started it.
using QuitRequested = RunCancelled;

// The host the window's world runs on, and how to connect it to the world's
// shared state once that exists (nullptr: disconnect).
struct HostBinding {
  std::unique_ptr<Host> host;
  std::function<void(Context*)> attach;
  // From now on the host runs the world without the event loop (the program
  // is ending from inside it); empty for a host that needs nothing for that.
  std::function<void()> leaveEventLoop;
};
using HostFactory = std::function<HostBinding(MainWin&)>;

// A modal message box: text, title, icon and buttons; returns the answer.
using MessageHandler =
    std::function<Answer(const QString& text, const QString& title, Icon icon, Buttons buttons)>;
// The open-file dialog: title, extension (without point) and the folder it
// opens in; the chosen full path, or the empty text after a cancel.
using FileDialogHandler = std::function<std::string(const QString& title, const QString& extension,
                                                    const QString& folder)>;

// The save-file dialog: title, the folder it opens in and the name it
// proposes; the chosen full path, or the empty text after a cancel.
using SaveDialogHandler =
    std::function<std::string(const QString& title, const QString& folder, const QString& name)>;

class MainWin : public QMainWindow {
  Q_OBJECT
 public:
  // Without a factory the window runs on the Qt event loop and the real
  // serial port.
  explicit MainWin(HostFactory hostFactory = {}, QWidget* parent = nullptr);
  ~MainWin() override;

  Context& ctx() { return *ctx_; }

  // The brand-dependent captions, label visibility and product word.
  void ApplyBrand(const Brand& brand);
  // Where the settings file is written.
  void SetSettingsPath(const std::string& path) { settingsPath_ = path; }
  const std::string& settingsPath() const { return settingsPath_; }

  // What the host shows in the window.
  void ShowStatus(const std::string& text);
  // A risky question's box answers No to Enter and Escape; other questions
  // default to Yes.
  Answer ShowMessage(const std::string& text, const std::string& title, Icon icon, Buttons buttons,
                     bool risky = false);
  void ShowVersionLabels(const std::string& radio, const std::string& digitalSet);
  void ShowComPortNumber();
  // The progress bar: the share of the whole run, with the progress line as
  // its text (cut at the end where the bar is too narrow; whole as tooltip).
  void ShowProgress(const RunProgress& progress);
  // Runs after every yield of the world: ends a run when the window was closed.
  void AfterYield();

  // A signal (SIGINT, SIGTERM, SIGHUP) ends the program without asking: open
  // message boxes and dialogs close (a run's question counts as No, an open
  // "Wirklich beenden?" as Yes); a run ends as when the window is closed,
  // releasing the station first; then the window closes.
  void EndBySignal();
  bool endedBySignal() const { return endedBySignal_; }
  // A run has asked the station into its update mode and not yet released it.
  bool ReleasePending() const;
  // Releases the station once more when a release is pending, without the
  // event loop and showing nothing: for a program that ends from inside the
  // loop (its display went away). A few seconds at most. Returns whether the
  // release was tried.
  bool ReleaseWithoutEventLoop();

  // The commands.
  void ChooseUpdateFile();
  void ShowSettingsDialog();
  void RunUpdateCommand();
  void RunPortTest(bool noWait);
  // "Datei" → "Sicherung lesen …": asks where to save, then saves the user's
  // data (with "Sicherung mit Texten und Zeichen" checked, the language texts
  // and character definitions too). The status line says where it went or
  // what failed.
  void RunBackupCommand();
  // "Datei" → "Sicherung zurückschreiben …": asks for a backup in the data
  // folder and writes it back after the core's question; the status line says
  // how many pages were written or what failed.
  void RunRestoreCommand();
  // Writes the backup at path back, as "Sicherung zurückschreiben …" does once
  // the file is chosen.
  void RestoreFrom(const std::string& path);
  // The backup an update saved before the configuration: named under the
  // status line until the next command, whatever statuses follow.
  void ShowBackupSaved(const std::string& path);
  // "Hilfe" → "Über": the program's version, its licence and where its
  // description is.
  void ShowAbout();
  // The language the window speaks: its entry in the "Sprache" menu is
  // checked. Choosing the other one there remembers it for the next start.
  void SetLanguage(Language language);
  // "Sprache" → "Deutsch" or "English".
  void ChooseLanguage(Language language);
  // Writes UpdateFilePath, InterfaceKind and ComPortNumber to the settings file.
  void WriteSettings();

  // The open-file dialog; returns the chosen path or the empty text. It opens
  // in the folder of the last package when that folder exists, else in the
  // user's home folder.
  std::string ShowFileDialog(const QString& title, const QString& extension);
  QString FileDialogFolder() const;

  // "Update" is enabled when a package is loaded and an interface and port
  // are chosen, and no command runs; otherwise the hint under it says what is
  // missing. The backup commands need only the interface and port. Called
  // whenever the package or the settings change.
  void ShowReadiness();

  void SetMessageHandler(MessageHandler handler) { messageHandler_ = std::move(handler); }
  void SetFileDialog(FileDialogHandler handler) { fileDialog_ = std::move(handler); }
  void SetSaveDialog(SaveDialogHandler handler) { saveDialog_ = std::move(handler); }

  bool running() const { return running_; }
  InterfaceDialog* interfaceDialog() const { return interfaceDialog_; }

  QLabel* heading() const { return heading_; }
  QLabel* statusLabel() const { return statusLabel_; }
  QLabel* hintLabel() const { return hintLabel_; }
  ElidedLabel* portLabel() const { return portLabel_; }
  ElidedLabel* packageLabel() const { return packageLabel_; }
  ElidedProgressBar* progressBar() const { return progressBar_; }
  QLabel* radioVersionLabel() const { return radioVersionLabel_; }
  QLabel* digitalSetVersionLabel() const { return digitalSetVersionLabel_; }
  QPushButton* updateButton() const { return updateButton_; }
  QPushButton* inButton() const { return inButton_; }
  QPushButton* outButton() const { return outButton_; }
  QAction* updateFileAction() const { return updateFileAction_; }
  QAction* settingsAction() const { return settingsAction_; }
  QAction* aboutAction() const { return aboutAction_; }
  QAction* backupAction() const { return backupAction_; }
  QAction* backupAllAction() const { return backupAllAction_; }
  QAction* restoreAction() const { return restoreAction_; }
  QAction* germanAction() const { return germanAction_; }
  QAction* englishAction() const { return englishAction_; }
  ElidedLabel* backupLabel() const { return backupLabel_; }

 signals:
  // The window closed after a signal; the program ends with status 1.
  void closedBySignal();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QLabel* AddLabel(const char* name, const QString& text, Qt::Alignment alignment);
  // Sizes the window for its content: every caption, the longest status text
  // and the window title fit; the window only grows.
  void FitToContent();
  // The port test buttons show only when the window is tall enough for them.
  void PlacePortTests();
  // The commands that must not change a run under its feet.
  void SetCommandsEnabled(bool enabled);
  // Runs a command that uses the port: the port commands are disabled meanwhile.
  void RunWithPort(const std::function<void()>& command);
  // Closing during a run: asks first, then ends the run (which releases the
  // station) and closes the window once the run has returned.
  void ConfirmQuitDuringRun();
  // Closes every open modal message box and dialog, the innermost first.
  void CloseModalWindows();
  // A message box as such, without the run's bookkeeping.
  Answer AskUser(const std::string& text, const std::string& title, Icon icon, Buttons buttons,
                 bool defaultNo = false);

  // The save dialog for a backup, in the data folder, proposing `name`.
  std::string ShowSaveDialog(const QString& title, const QString& name);
  // The open dialog for a backup, in the data folder.
  std::string ShowBackupDialog(const QString& title);
  // A command's outcome in the status line: what happened, and on a line of
  // its own the likely cause when the report carries one (else `otherwise`).
  void ShowOutcome(const std::string& what, const std::string& otherwise = {});

  HostBinding binding_;
  std::unique_ptr<Context> ctx_;
  std::string settingsPath_;
  MessageHandler messageHandler_;
  FileDialogHandler fileDialog_;
  SaveDialogHandler saveDialog_;
  // The handheld seen last in this session: the name a backup is proposed under.
  HandheldIdentity lastHandheld_;
  bool running_ = false;
  bool quitRequested_ = false;
  bool endedBySignal_ = false;
  bool fitted_ = false;
  // The package chosen last in this session or remembered at start, also
  // after a cancelled file dialog: the file dialog opens in its folder.
  std::string lastPackagePath_;

  QWidget* client_;
  QWidget* content_;
  QWidget* portTests_;
  QLabel* heading_;
  QLabel* portCaption_;
  ElidedLabel* portLabel_;
  QLabel* packageCaption_;
  ElidedLabel* packageLabel_;
  QLabel* radioCaption_;
  QLabel* radioVersionLabel_;
  QLabel* digitalSetCaption_;
  QLabel* digitalSetVersionLabel_;
  QLabel* statusLabel_;
  QLabel* hintLabel_;
  ElidedProgressBar* progressBar_;
  ElidedLabel* backupLabel_;
  QPushButton* updateButton_;
  QPushButton* inButton_;
  QPushButton* outButton_;
  QMenu* fileMenu_;
  QAction* updateFileAction_;
  QAction* settingsAction_;
  QAction* backupAction_;
  QAction* backupAllAction_;
  QAction* restoreAction_;
  QAction* endAction_;
  QMenu* languageMenu_;
  QAction* germanAction_;
  QAction* englishAction_;
  Language language_ = Language::German;
  QMenu* helpMenu_;
  QAction* aboutAction_;
  InterfaceDialog* interfaceDialog_;
};

}  // namespace skyrelay::app
