#include "protocol/handheld.h"

#include <string>

#include "link/link.h"
#include "protocol/long_message.h"

namespace skyrelay {

namespace {

constexpr uint8_t kHandheld1 = 0x66;
constexpr uint8_t kHandheld2 = 0x33;
constexpr double kCommandTimeout = 2.0;

// Sends the long message now in TxMessage and waits for the acknowledge 127.
int SendAndAwaitAcknowledge(Context& ctx, const char* timeoutText) {
  PackHighBits(ctx);
  ctx.tx.TxLastIndex = 29;
  ctx.ans.ReplyStatus = 0;
  return AwaitAnswer(
      ctx, kCommandTimeout, [&] { return ctx.ans.ReplyStatus == 127; }, timeoutText);
}

int SendAndAwaitBlock(Context& ctx, int offset, const char* timeoutText) {
  PackHighBits(ctx);
  ctx.tx.TxLastIndex = 29;
  ctx.ans.BlockReceived = 0;
  ctx.ans.DataBufOffset = offset;
  return AwaitAnswer(
      ctx, kCommandTimeout, [&] { return ctx.ans.BlockReceived == 1; }, timeoutText);
}

// A DataFlash page command (0x53 or 0x83) for the page that holds `address`.
int PageCommand(Context& ctx, uint8_t opcode, uint32_t address) {
  BeginLongMessage(ctx, kHandheld1, kHandheld2);
  SetLongMessageFields(ctx, 0, 1, 0, 0, 0);
  auto& m = ctx.tx.TxMessage;
  m[DataPosition(1)] = opcode;
  m[DataPosition(2)] = (address >> 16) & 0xFF;
  m[DataPosition(3)] = (address >> 8) & 0xFE;
  m[DataPosition(4)] = 0;
  m[DataPosition(20)] = 4;
  return SendAndAwaitAcknowledge(ctx, "move_spibuf_to_buf1");
}

}  // namespace

int send_pm01(Context& ctx, bool noWait) {
  for (int attempt = 0;; attempt++) {
    BeginLongMessage(ctx, kHandheld1, kHandheld2);
    ClearRxRing(ctx);
    SetLongMessageFields(ctx, 7, 3, 1, 5, 6);
    ctx.ans.ReplyStatus = -1;
    ctx.tx.TxLastIndex = 29;
    if (noWait) return 0;
    if (AwaitAnswer(ctx, 1.0, [&] { return ctx.ans.ReplyStatus == 127; }) == 0) return 0;
    ctx.host.SetStatus("PM01= " + std::to_string(attempt));
    if (attempt >= 20) return 1;
  }
}

void start_firmware_update(Context& ctx) {
  BeginLongMessage(ctx, kHandheld1, kHandheld2);
  SetLongMessageFields(ctx, 5, 4, 2, 3, 6);
  auto& m = ctx.tx.TxMessage;
  m[22] = kStartCode[0];
  m[23] = kStartCode[1];
  m[24] = kStartCode[2];
  ctx.tx.TxLastIndex = 29;
}

int read_info_block(Context& ctx) {
  BeginLongMessage(ctx, kHandheld1, kHandheld2);
  SetLongMessageFields(ctx, 0, 3, 0, 0, 0);
  return SendAndAwaitBlock(ctx, 0, "");
}

int read_flash_to_spibuf(Context& ctx, uint32_t address, int count) {
  BeginLongMessage(ctx, kHandheld1, kHandheld2);
  SetLongMessageFields(ctx, 0, 1, 0, 0, 0);
  auto& m = ctx.tx.TxMessage;
  m[DataPosition(1)] = 0xE8;
  m[DataPosition(2)] = (address >> 16) & 0xFF;
  m[DataPosition(3)] = (address >> 8) & 0xFF;
  m[DataPosition(4)] = address & 0xFF;
  m[DataPosition(20)] = (count + 8) & 0xFF;
  return SendAndAwaitAcknowledge(ctx, "read_flash_to_spibuf");
}

int read_spibuf(Context& ctx, int offset) {
  BeginLongMessage(ctx, kHandheld1, kHandheld2);
  ctx.tx.TxMessage[10] = 2 * 16;
  SetSpiOffsetFields(ctx, offset);
  return SendAndAwaitBlock(ctx, offset, "read_spibuf");
}

int write_to_spibuf(Context& ctx, int offset, int length) {
  BeginLongMessage(ctx, kHandheld1, kHandheld2);
  auto& m = ctx.tx.TxMessage;
  m[10] = (length != 0 ? 1 : 0) * 16;
  SetSpiOffsetFields(ctx, offset);
  const auto& buf = ctx.ans.DataBuf;
  for (int i = 0; i < 19; i++) {
    const int index = offset + i;
    m[DataPosition(i + 1)] = (index >= 0 && index <= 512) ? (buf[index] & 0xFF) : 0;
  }
  if (length != 0) {
    m[DataPosition(20)] = length & 0xFF;
  } else {
    const int index = offset + 19;
    m[DataPosition(20)] = (index >= 0 && index <= 512) ? (buf[index] & 0xFF) : 0;
  }
  return SendAndAwaitAcknowledge(ctx, "write_to_spibuf");
}

int move_spibuf_to_buf1(Context& ctx, uint32_t address) {
  return PageCommand(ctx, 0x53, address);
}

int write_buf1_to_flash(Context& ctx, uint32_t address) {
  return PageCommand(ctx, 0x83, address);
}

}  // namespace skyrelay
