#include "sim/virtual_host.h"

#include <algorithm>

#include "link/link.h"

namespace skyrelay {

namespace {
// The smallest step a yield moves the clock, so that no wait can stand still.
constexpr double kMinStep = 1e-6;
}  // namespace

bool VirtualPort::Write(std::span<const uint8_t> bytes) {
  if (!open_) return false;
  if (bus_ && bus_->Vanished()) {
    MarkLost();
    return false;
  }
  bytesWritten += static_cast<long>(bytes.size());
  writes++;
  if (bus_) bus_->PcWrite(*clock_, bytes);
  return true;
}

std::vector<uint8_t> VirtualPort::Read(size_t maxBytes) {
  const size_t n = maxBytes == 0 ? held_.size() : std::min(maxBytes, held_.size());
  std::vector<uint8_t> bytes(held_.begin(), held_.begin() + static_cast<long>(n));
  held_.erase(held_.begin(), held_.begin() + static_cast<long>(n));
  return bytes;
}

bool VirtualPort::SetPortName(const std::string& n) {
  name = n;
  return true;
}

bool VirtualPort::SetLineSettings(const LineSettings& settings) {
  line = settings;
  return true;
}

void VirtualPort::MarkLost() {
  if (!open_) return;
  open_ = false;
  lost_ = true;
  error_ = "Gerät entfernt oder Leitung getrennt";
}

bool VirtualPort::Open() {
  lost_ = false;
  failure_ = PortFailure::None;
  if (failOpen || (bus_ && bus_->Vanished())) {
    error_ = "Das Gerät wurde nicht gefunden.";
    failure_ = failOpen ? openFailure : PortFailure::NotFound;
    return false;
  }
  open_ = true;
  return true;
}

VirtualHost::VirtualHost(VirtualBus* bus, double tickInterval)
    : bus_(bus), port_(bus, &now_), tickInterval_(tickInterval), nextTick_(tickInterval) {}

void VirtualHost::Yield() {
  // What came in during a stall is handed over by the first notification after it.
  if (port_.BytesWaiting() > 0 && ctx_ && port_.IsOpen()) ctx_->OnSerialData(port_.TakeHeld());
  double target = nextTick_;
  if (bus_) target = std::min(target, bus_->NextEventTime());
  const bool stalled = stall_ > 0 && (!stallWhen_ || stallWhen_());
  if (stalled) {
    target = now_ + stall_;
    stall_ = 0;
  }
  now_ = std::max(target, now_ + kMinStep);
  if (bus_) {
    bus_->AdvanceTo(now_);
    std::vector<uint8_t> bytes = bus_->TakePcBytes();
    if (bus_->Vanished()) {
      port_.MarkLost();
    } else if (!bytes.empty() && ctx_ && port_.IsOpen()) {
      if (stalled) {
        port_.Hold(bytes);
      } else {
        ctx_->OnSerialData(bytes);
      }
    }
  }
  if (now_ >= nextTick_) {
    while (nextTick_ <= now_) nextTick_ += tickInterval_;
    if (ctx_) ctx_->Tick();
  }
  // An interface that went away ends the wait (and with it the run) here.
  if (ctx_) ctx_->CheckLost();
  if (afterYield) afterYield();
}

void VirtualHost::SetStatus(const std::string& text) {
  status = text;
  if (statuses.size() < statusLimit) statuses.push_back(text);
  if (onStatus) onStatus(text);
}

void VirtualHost::ShowStatus(const StatusLine& status) {
  if (onStatusLine) onStatusLine(status);
  SetStatus(GermanStatus(status));
}

Answer VirtualHost::Show(const Notice& notice) {
  // Shown through Message, which a front end's host may take over; the kind
  // goes with it into the record.
  const ShownMessage shown = GermanMessage(notice);
  showing_ = notice.kind;
  showingRisky_ = notice.risky;
  struct Reset {
    std::optional<NoticeKind>& kind;
    ~Reset() { kind.reset(); }
  } reset{showing_};
  return Message(shown.text, shown.title, shown.icon, shown.buttons);
}

Answer VirtualHost::Message(const std::string& text, const std::string& title, Icon icon,
                            Buttons buttons) {
  const std::optional<NoticeKind> kind = showing_;
  const bool risky = kind && showingRisky_;
  showing_.reset();
  return Record(RecordedMessage{text, title, icon, buttons, Answer::Ok, kind, risky});
}

Answer VirtualHost::Record(RecordedMessage m) {
  const Buttons buttons = m.buttons;
  if (buttons == Buttons::YesNo) m.answer = answerQuestion ? answerQuestion(m) : Answer::Yes;
  if (messages.size() < messageLimit) messages.push_back(m);
  if (onMessage) onMessage(m);
  return m.answer;
}

}  // namespace skyrelay
