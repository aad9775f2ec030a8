// InterfaceDialog: the choice of the interface kind and the serial port. Shown
// without blocking the main window, hidden (never destroyed) by "OK" and
// "Abbrechen", and refilled from the current settings whenever it becomes the
// active window.
#pragma once

#include <QButtonGroup>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <array>
#include <functional>

#include "run/context.h"

namespace skyrelay::app {

class InterfaceDialog : public QDialog {
  Q_OBJECT
 public:
  // settings: the values the dialog shows and changes. onAccepted runs after
  // "OK" has taken over the choice (the main window writes the settings file
  // and shows the port number).
  InterfaceDialog(Settings& settings, std::function<void()> onAccepted, QWidget* parent = nullptr);

  // The brand's caption of the third option.
  void SetOption2Caption(const QString& caption);

  // Activation: selects the option of InterfaceKind, puts ComPortNumber into
  // the text box, shows the program version and lists the serial ports found.
  void FillFromSettings();

  QRadioButton* option(int element) const { return options_[element]; }
  // The line under an option that says what it is for.
  QLabel* note(int element) const { return notes_[element]; }
  QLineEdit* portText() const { return portText_; }
  QComboBox* portList() const { return portList_; }
  QLabel* versionLabel() const { return versionLabel_; }
  QPushButton* okButton() const { return okButton_; }
  QPushButton* cancelButton() const { return cancelButton_; }

 protected:
  bool event(QEvent* event) override;

 private:
  void ApplyChoice();
  void FillPortList();
  void FitLayout();

  Settings& settings_;
  std::function<void()> onAccepted_;
  QGroupBox* frame_;
  QButtonGroup* group_;
  std::array<QRadioButton*, 3> options_;
  std::array<QLabel*, 3> notes_;
  QLabel* portCaption_;
  QLineEdit* portText_;
  QComboBox* portList_;
  QPushButton* okButton_;
  QPushButton* cancelButton_;
  QLabel* versionLabel_;
};

}  // namespace skyrelay::app
