#include "config/turnouts.h"

#include <cstdint>

#include "config/transfer.h"
#include "package/data_files.h"
#include "protocol/handheld.h"

namespace skyrelay {

namespace {

constexpr uint32_t kPageSize = 512;

// Reads the whole file through the package layer. A file that cannot be used
// is reported and gives the flag 99, so nothing of it reaches the handheld.
bool ReadUsableDataFile(Context& ctx, const std::string& path, size_t size, std::string& bytes,
                        int& errorFlag) {
  const std::string problem = ReadDataFile(ctx.desc.heldFiles, path, size, bytes);
  if (problem.empty()) return true;
  ctx.host.Message(path + "\r" + problem + "!", "Fehler!", Icon::Stop, Buttons::Ok);
  errorFlag = 99;
  return false;
}

// DataBuf(0..3): buffer 1 write at `offset` within the buffer.
void SetBufferWrite(Context& ctx, uint32_t offset) {
  auto& buf = ctx.ans.DataBuf;
  buf[0] = 0x84;
  buf[1] = 0x00;
  buf[2] = static_cast<int>(offset / 256);
  buf[3] = static_cast<int>(offset % 256);
}

// Moves DataBuf(0..83) into the SPI buffer and writes its 64 data bytes into
// buffer 1 (68 = opcode, three address bytes and 64 data bytes).
int WriteSection64(Context& ctx) {
  for (int offset = 0; offset < 80; offset += 20) {
    if (const int result = write_to_spibuf(ctx, offset, 0); result != 0) return result;
  }
  return write_to_spibuf(ctx, 80, 68);
}

}  // namespace

void TransferTurnoutSymbols(Context& ctx, const std::string& path, int& errorFlag) {
  std::string bytes;
  if (!ReadUsableDataFile(ctx, path, TurnoutSymbolFileSize, bytes, errorFlag)) return;

  auto& buf = ctx.ans.DataBuf;
  for (int symbol = 0; symbol < 256; symbol++) {
    ctx.host.SetStatus("Mag.Sym.:" + std::to_string(symbol));
    for (int row = 0; row < 2; row++) {
      const size_t first = 64 * symbol + 32 * row;
      for (int k = 0; k < 32; k++) buf[4 + k] = TurnoutFileValue(bytes, first + k);
      SetBufferWrite(ctx, first % kPageSize);
      if ((errorFlag = write_to_spibuf(ctx, 0, 0)) != 0) return;
      // The whole row goes into buffer 1: opcode, three address bytes and all 32
      // values. A shorter transfer would leave the row's last values behind.
      if ((errorFlag = write_to_spibuf(ctx, 20, 36)) != 0) return;
    }
    // Eight symbols fill a page, so buffer 1 needs no loading from the page.
    if (symbol % 8 == 7) {
      if ((errorFlag = write_buf1_to_flash(ctx, SymbolAreaBase + 64 * symbol)) != 0) return;
    }
  }
}

void TransferTurnoutAssignment(Context& ctx, const std::string& path, int& errorFlag) {
  std::string bytes;
  if (!ReadUsableDataFile(ctx, path, TurnoutAssignmentFileSize, bytes, errorFlag)) return;

  // Values 0 to 2559 fill five pages; the file's last value is not used.
  auto& buf = ctx.ans.DataBuf;
  for (int page = 0; page < 5; page++) {
    for (int section = 0; section < 8; section++) {
      ctx.host.SetStatus("SymZuord:" + std::to_string(8 * page + section));
      SetBufferWrite(ctx, 64 * section);
      for (int k = 0; k < 64; k++) {
        buf[4 + k] = TurnoutFileValue(bytes, 512 * page + 64 * section + k);
      }
      if ((errorFlag = WriteSection64(ctx)) != 0) return;
    }
    if ((errorFlag = write_buf1_to_flash(ctx, AssignmentAreaBase + 512 * page)) != 0) return;
  }
}

void TransferTurnoutList(Context& ctx, const std::string& path, int& errorFlag) {
  std::string bytes;
  if (!ReadUsableDataFile(ctx, path, TurnoutListFileSize, bytes, errorFlag)) return;

  ctx.host.SetStatus("Weichenliste");
  // The list fills only bytes 8 to 263 of its page; the page goes into buffer 1
  // first so that the bytes around the list keep their content.
  if ((errorFlag = move_spibuf_to_buf1(ctx, TurnoutListPage)) != 0) return;
  auto& buf = ctx.ans.DataBuf;
  for (int section = 0; section < 4; section++) {
    SetBufferWrite(ctx, 8 + 64 * section);
    for (int k = 0; k < 64; k++) buf[4 + k] = TurnoutFileValue(bytes, 64 * section + k);
    if ((errorFlag = WriteSection64(ctx)) != 0) return;
  }
  errorFlag = write_buf1_to_flash(ctx, TurnoutListPage);
}

void TransferCharacterFile(Context& ctx, const std::string& path, int& errorFlag) {
  std::string bytes;
  if (!ReadUsableDataFile(ctx, path, CharacterFileSize, bytes, errorFlag)) return;

  auto& buf = ctx.ans.DataBuf;
  for (int i = 0; i < 8; i++) buf[4 + i] = static_cast<uint8_t>(bytes[2 + i]);
  const uint32_t b0 = static_cast<uint8_t>(bytes[0]);
  const uint32_t b1 = static_cast<uint8_t>(bytes[1]);
  const uint32_t address = CharacterAreaBase + 512 * b0 + 8 * b1;
  const uint32_t offset = (8 * b1) % kPageSize;

  // The page goes into buffer 1 first, so the other characters of the page stay.
  if ((errorFlag = move_spibuf_to_buf1(ctx, address)) != 0) return;
  SetBufferWrite(ctx, offset);
  // 12 = opcode, three address bytes and the eight definition bytes.
  if ((errorFlag = write_to_spibuf(ctx, 0, 12)) != 0) return;
  errorFlag = write_buf1_to_flash(ctx, address);
}

}  // namespace skyrelay
