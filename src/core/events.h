// What the core tells a front end, as data: every message box and question it
// raises and every status it reports has a kind and the values that go into its
// text. Front ends decide by the kind and format the text (core/texts.h holds
// the German texts); no code looks at a shown text to decide anything.
#pragma once

#include <string>
#include <vector>

namespace skyrelay {

enum class Icon { None, Stop, Information, Critical };
enum class Buttons { Ok, YesNo };
// Refused: No, given for the user by an answer policy (--yes) to a risky
// question, which only --force answers Yes. Everything that tests for Yes
// takes it as No; the run's report keeps which question it was.
enum class Answer { Ok, Yes, No, Refused };

// Every message box and question of the core. `args` of a Notice fill the text
// in the order named here.
enum class NoticeKind {
  // The link and the serial set-up.
  MessageNotSent,     // the echo of a sent message never came
  CommandTimeout,     // args: the command's name
  PortError,          // args: the system's error text (fast interfaces)
  StationPortError,   // args: the system's error text (the station's serial interface)
  InterfaceDialogue,  // the interface did not take a text command
  LinkLost,           // args: device, reason (may be empty)
  // The update command.
  NoUpdateFile,     // args: path
  SettingMissing,   // args: which setting, where to set it
  PortOpenFailed,   // args: what went wrong
  UnexpectedError,  // args: what went wrong
  // Identification.
  HandheldUnknown,  // question: try anyway?
  // The firmware stage.
  NotApplicable,  // an article the firmware is not for
  BadFirmwareFile,
  FirmwareFileMissing,
  SoftwareCurrent,  // question: update anyway?
  LoadVersion,      // question; args: handheld kind, installed version, file version, file date
  FlashBlockFailed,
  LocoNetOutputError,  // args: the phase (1..6)
  Installing,          // the notice before the installation: not an error
  RestartWait,         // question; args: product name
  WrongLoco,           // args: product name
  WrongVersion,
  FirmwareOk,
  // The configuration stage.
  ConfigurationFileUnusable,  // args: path, problem
  LanguageFileFormat,         // args: path
  SettingsNotWritten,
  // Loading a package.
  DescriptionUnreadable,  // args: path, why (a whole sentence)
  FirmwareFileProblem,    // args: path, problem
  FirmwareFileFormat,     // not a firmware file
  WrongFirmwareVersion,
  // The package check before the port opens; args: every problem, one a line.
  PackageProblems,
  // The backup of the user's data and its restore.
  BackupFailed,     // args: the file, what went wrong
  RestoreQuestion,  // question; args: what is written, one a line
};

struct Notice {
  NoticeKind kind;
  std::vector<std::string> args{};
  // A question whose Yes may do harm or waste a long transfer: trying an
  // unrecognised handheld, loading the version it has or an older one. A
  // policy that answers for the user says Yes to it only when forced.
  bool risky = false;
};

// Whether a notice reports a failure of the run (the first one becomes the
// verdict's reason). Questions and notices are not failures; a restart-wait
// question answered No is.
bool IsFailure(NoticeKind kind);
bool IsQuestion(NoticeKind kind);

// Every status the core reports. `number` and `text` fill it in where its kind
// says so.
enum class StatusKind {
  Clear,  // an empty status line
  Start,
  Error,
  ReadingVersion,
  StationUpdateMode,
  ReleasingStation,
  UpdateFinished,
  UpdateFailed,
  UpdateCancelled,
  NoFirmwareForKind,  // the description has no firmware for the handheld's kind
  SoftwareCurrent,
  FirmwarePercent,  // number: percent
  RestartWait,      // number: quarter seconds on the clock (the animation frame)
  FirmwareOk,
  WakeUpAttempt,      // number: the attempt
  PortTestResult,     // number: 0 or 1
  Language,           // number: language * 1000 + text
  TurnoutSymbol,      // number: the symbol
  TurnoutAssignment,  // number: the section
  TurnoutList,
  NewConfiguration,
  ExtraCharacterFiles,
  Text,  // text: a finished line (the verdict)
  BackupReading,
  BackupSaved,  // text: the file
  RestorePage,  // number: the page being written
};

struct StatusLine {
  StatusKind kind;
  long number = 0;
  std::string text{};
};

}  // namespace skyrelay
