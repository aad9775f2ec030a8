// The shared state of one world: everything the procedures of the link, the
// protocol, the update and the configuration transfer read and write, held in a
// few plain structs owned by one Context. A test builds a fresh world with
//   Context ctx(host);
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "core/brand.h"
#include "core/host.h"
#include "package/description.h"

namespace skyrelay {

// Receive ring and framer state.
struct RxState {
  std::array<std::array<uint8_t, 65>, 32> RxRing{};
  int RxWriteIndex = 0;
  int RxFillIndex = 0;
  int RxReadIndex = 0;
  int RxBytePos = 0;
  int RxExpectedLength = 0;
  bool RxInMessage = false;
  bool RxRingEmpty = true;
  bool RxRingFull = false;
};

// The one outgoing message.
struct TxState {
  std::array<uint8_t, 65> TxMessage{};
  int TxLastIndex = -1;
  bool TxAwaitingEcho = false;
  double TxSentAt = 0;
};

// Answer variables, set by the receive processing.
struct AnswerState {
  int ReplyStatus = 0;
  std::array<int, 513> DataBuf{};
  int DataBufOffset = 0;
  int BlockReceived = 0;
  int64_t StationIdNumber = 0;
  int StationReplyState = 0;
  int RequestedLocoAddress = 0;
  uint8_t LastRequestOpcode = 0;
};

// Command station commands and the flash page writer.
struct ProtocolState {
  int StationField1 = 0;
  int StationField2 = 0;
  int StationField3 = 0;
  std::array<int, 21> StationData{};  // D1..D20 at index 1..20
  int BootLoaderVersion = 0;
  std::array<std::array<int, 65>, 9> PageCopy{};
};

// The user's choices, kept in the settings file.
struct Settings {
  std::string UpdateFilePath;
  int InterfaceKind = 0;
  std::string ComPortNumber;
};

// Identification and update run.
struct UpdateState {
  int HandheldKind = 0;
  std::string HandheldKindText;
  int UpdateModeActive = 0;
  int LastFailedBlock = 0;
  int PageRetries = 0;
  int UpdateStep = 0;
  // Outcome of the last firmware stage, for callers that need more than the
  // error flag (the command-line program's exit status).
  enum class FirmwareOutcome {
    NotRun,
    Ok,              // "Firmware ok!"
    NoFirmwareFile,  // no file for the handheld's kind
    Declined,        // the user said No
    NotApplicable,   // article other than 58400
    Failed,          // any other end with an error message
  } firmwareOutcome = FirmwareOutcome::NotRun;
  int configurationResult = -1;  // -1: the transfer did not run
  // The transfer showed a message without setting its error flag (a missing
  // language file, a line in the wrong format): less was written than named.
  bool configurationShortfall = false;
  enum class RunEnd { NotRun, Finished, Failed, Cancelled } runEnded = RunEnd::NotRun;
  // 1 from the moment the update-mode request goes out until the station has
  // been released: whether or not the request was answered, the station may
  // be in its boot loader and must be released on every way out.
  int StationEntryRequested = 0;
  // The station answered none of the identification requests: the run went on
  // as for a station that needs no update mode.
  bool stationIdUnanswered = false;
  // True while the release is under way: front ends do not abandon it.
  bool StationReleasing = false;
  int releaseResult = -1;       // -1: no release was needed; else finish_update_mode's result
  std::string unexpectedError;  // what ended the run when nothing else should have
  // Firmware pages: each write of a whole page, those that read back right, and
  // those written again after a wrong read-back.
  int pagesWritten = 0;
  int pagesVerified = 0;
  int pagesRepeated = 0;
  std::string installedVersion;  // read back after a firmware update that ended "Firmware ok!"
  double runStartedAt = 0;
  double runEndedAt = 0;
};

// Counters and an optional observer of every LocoNet message, for traces and figures.
struct LinkStats {
  long messagesSent = 0;
  long messagesReceived = 0;
  // Received messages dropped because their checksum was wrong, or because the
  // receive ring had no free slot when they began.
  long badChecksums = 0;
  long ringOverflows = 0;
  // Called with (time, sent?, bytes) for every message written or completed by the
  // framer, damaged ones included.
  std::function<void(double, bool, std::span<const uint8_t>)> observer;
};

class Context {
 public:
  explicit Context(Host& host);

  Host& host;
  std::string ProductName{CurrentBrand().ProductName};

  RxState rx;
  TxState tx;
  AnswerState ans;
  ProtocolState proto;
  Settings settings;
  Description desc;
  UpdateState upd;
  LinkStats stats;

  // One tick of the main timer: PumpTransmit, then ProcessNextMessage. A tick
  // that is asked for while one is running does nothing.
  void Tick();
  // Bytes the serial port received, in order.
  void OnSerialData(std::span<const uint8_t> bytes);

  bool InTick() const { return inTick_; }
  // Whether a front end may throw RunCancelled out of a yield now: not inside
  // a timer tick (the tick runs inside the event loop) and not while the
  // command station is being released.
  bool MayAbandonRun() const { return !inTick_ && !upd.StationReleasing; }
  // Clears the in-tick flag of a tick that will never return (the program is
  // ending from inside it), so that a last exchange can still tick.
  void EndAbandonedTick() { inTick_ = false; }

 private:
  bool inTick_ = false;
};

}  // namespace skyrelay
