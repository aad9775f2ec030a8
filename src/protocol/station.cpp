#include "protocol/station.h"

#include "link/link.h"
#include "package/text_codec.h"
#include "protocol/long_message.h"

namespace skyrelay {

namespace {

constexpr double kStationTimeout = 2.0;
constexpr double kStationPause = 0.5;

void SetBootLoaderData(Context& ctx, int d1) {
  auto& d = ctx.proto.StationData;
  d.fill(0);
  d[1] = d1;
  d[2] = d[3] = d[4] = 0x7F;
  for (int k = 0; k < 8; k++) d[9 + k] = kStationCode[k];
}

void SetFields(Context& ctx, int f1, int f2, int f3) {
  ctx.proto.StationField1 = f1;
  ctx.proto.StationField2 = f2;
  ctx.proto.StationField3 = f3;
}

int SendAndPause(Context& ctx) {
  SendStationMessage(ctx);
  WaitSeconds(ctx, kStationPause);
  return 0;
}

}  // namespace

int SendStationMessage(Context& ctx) {
  auto& m = ctx.tx.TxMessage;
  const auto& p = ctx.proto;
  m[0] = 0xED;
  m[1] = 0x1F;
  m[2] = 0x08;
  m[3] = 0x4E;
  m[4] = 0x57;
  const int fields[5] = {7, 7, p.StationField1, p.StationField2, p.StationField3};
  for (int g = 0; g < 5; g++) m[kGroupHeads[g]] = (fields[g] & 7) * 16;
  for (int d = 1; d <= 20; d++) m[DataPosition(d)] = p.StationData[d] & 0xFF;
  PackHighBits(ctx);
  ctx.tx.TxLastIndex = 29;
  return 0;
}

int enter_boot_loader(Context& ctx) {
  AnswerState& a = ctx.ans;
  SetBootLoaderData(ctx, 0);
  SetFields(ctx, 3, 7, 0);
  a.ReplyStatus = -1;
  a.StationReplyState = -1;
  SendStationMessage(ctx);
  if (AwaitAnswer(
          ctx, kStationTimeout,
          [&] { return a.ReplyStatus == 1 || (a.StationReplyState == 1 && a.ReplyStatus == 127); },
          "enter_boot_loader") != 0) {
    return 1;
  }

  a.StationReplyState = 0;
  SetBootLoaderData(ctx, 0);
  SetFields(ctx, 3, 4, 0);
  a.ReplyStatus = -1;
  SendStationMessage(ctx);
  if (AwaitAnswer(
          ctx, kStationTimeout, [&] { return a.ReplyStatus != -1; }, "boot_loader_version") != 0) {
    return 1;
  }
  ctx.proto.BootLoaderVersion = a.ReplyStatus;
  return 0;
}

int finish_update_mode(Context& ctx) {
  SetBootLoaderData(ctx, ctx.proto.BootLoaderVersion);
  SetFields(ctx, 3, 0, 0);
  ctx.ans.ReplyStatus = 0;
  SendStationMessage(ctx);
  return AwaitAnswer(
      ctx, kStationTimeout, [&] { return ctx.ans.ReplyStatus == 127; }, "enter_boot_loader");
}

int station_clear(Context& ctx) {
  ctx.proto.StationData.fill(0);
  SetFields(ctx, 3, 1, 0);
  return SendAndPause(ctx);
}

int station_set_value(Context& ctx, int value, int smallValue) {
  auto& d = ctx.proto.StationData;
  d.fill(0);
  d[1] = value & 0xFF;
  d[2] = (value >> 8) & 0xFF;
  d[3] = smallValue & 0xFF;
  d[4] = smallValue & 0xFF;
  SetFields(ctx, 3, 1, 1);
  return SendAndPause(ctx);
}

int station_send_text(Context& ctx, const std::string& text) {
  auto& d = ctx.proto.StationData;
  d.fill(0);
  const std::string bytes = Utf8ToCp1252(text);
  for (size_t i = 0; i < bytes.size() && i < 20; i++) d[i + 1] = static_cast<uint8_t>(bytes[i]);
  SetFields(ctx, 3, 1, 3);
  return SendAndPause(ctx);
}

int read_station_id(Context& ctx) {
  auto& m = ctx.tx.TxMessage;
  const uint8_t head[6] = {0xED, 0x0F, 0x01, 0x4E, 0x51, 0x07};
  for (int i = 0; i < 6; i++) m[i] = head[i];
  for (int i = 6; i <= 13; i++) m[i] = 0;  // no data, so no high bits to pack
  ctx.ans.StationIdNumber = -1;
  ctx.tx.TxLastIndex = 13;

  return AwaitAnswer(
      ctx, kStationTimeout, [&] { return ctx.ans.StationIdNumber != -1; }, "",
      TimeTest::AfterYield);
}

}  // namespace skyrelay
