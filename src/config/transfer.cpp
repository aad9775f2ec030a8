#include "config/transfer.h"

#include <algorithm>
#include <array>
#include <string>

#include "config/language.h"
#include "config/turnouts.h"
#include "link/link.h"
#include "package/description.h"
#include "protocol/handheld.h"
#include "update/firmware_update.h"

namespace skyrelay {

void TransferConfiguration(Context& ctx, int& errorFlag) {
  errorFlag = 0;
  const Description& desc = ctx.desc;

  // Make sure the handheld answers.
  if (read_info_block(ctx) != 0) {
    if ((errorFlag = send_pm01(ctx, false)) != 0) return;
    if ((errorFlag = read_info_block(ctx)) != 0) return;
  }

  // One step per file the description names, and the new configuration.
  int total = 1 + desc.characterFileCount;
  for (const std::string& name : desc.languageFiles) total += name.empty() ? 0 : 1;
  for (const std::string* name :
       {&desc.turnoutSymbolFile, &desc.turnoutAssignmentFile, &desc.turnoutListFile}) {
    total += name->empty() ? 0 : 1;
  }
  int done = 0;
  auto step = [&] { ctx.host.Progress(ProgressStage::Configuration, done++, total); };

  for (int language = 0; language < static_cast<int>(desc.languageFiles.size()); language++) {
    const std::string& name = desc.languageFiles[language];
    if (name.empty()) continue;
    step();
    TransferLanguageFile(ctx, HeldFilePath(desc, name), language, errorFlag);
    if (errorFlag != 0) return;
  }
  if (!desc.turnoutSymbolFile.empty()) {
    step();
    TransferTurnoutSymbols(ctx, HeldFilePath(desc, desc.turnoutSymbolFile), errorFlag);
    if (errorFlag != 0) return;
  }
  if (!desc.turnoutAssignmentFile.empty()) {
    step();
    TransferTurnoutAssignment(ctx, HeldFilePath(desc, desc.turnoutAssignmentFile), errorFlag);
    if (errorFlag != 0) return;
  }
  if (!desc.turnoutListFile.empty()) {
    step();
    TransferTurnoutList(ctx, HeldFilePath(desc, desc.turnoutListFile), errorFlag);
    if (errorFlag != 0) return;
  }
  for (int i = 1; i <= desc.characterFileCount; i++) {
    step();
    TransferCharacterFile(ctx, HeldFilePath(desc, desc.characterFiles[i]), errorFlag);
    if (errorFlag != 0) return;
  }

  step();
  WriteNewConfiguration(ctx, errorFlag);
  if (errorFlag != 0) return;
  ctx.host.Progress(ProgressStage::Configuration, done, total);

  send_pm01(ctx, true);
  WaitSeconds(ctx, 1);
  errorFlag = 0;
}

void WriteNewConfiguration(Context& ctx, int& errorFlag) {
  ctx.host.SetStatus("neue Konfiguration");
  if ((errorFlag = read_flash_to_spibuf(ctx, SettingsBlockAddress, 128)) != 0) return;
  for (int offset = 0; offset <= 120; offset += 20) {
    if ((errorFlag = read_spibuf(ctx, offset)) != 0) return;
  }

  // Settings byte i is now DataBuf(8 + i); the block moves to DataBuf(4).
  auto& buf = ctx.ans.DataBuf;
  for (int i = 0; i < 128; i++) buf[4 + i] = buf[8 + i];
  buf[12] = 0;  // settings bytes 8, 9, 10
  buf[13] = 1;
  buf[14] = 0;

  // The block is only the first 128 bytes of its page; the page goes into
  // buffer 1 first so that the rest of it keeps its content.
  if ((errorFlag = move_spibuf_to_buf1(ctx, SettingsBlockAddress)) != 0) return;
  buf[0] = 0x84;
  buf[1] = 0x00;
  buf[2] = 0x00;
  buf[3] = 0x00;
  for (int offset = 0; offset <= 100; offset += 20) {
    if ((errorFlag = write_to_spibuf(ctx, offset, 0)) != 0) return;
  }
  // 132 = opcode, three address bytes and the 128 bytes of the block.
  if ((errorFlag = write_to_spibuf(ctx, 120, 132)) != 0) return;
  std::array<int, 128> meant;
  std::copy_n(buf.begin() + 4, 128, meant.begin());
  if ((errorFlag = write_buf1_to_flash(ctx, SettingsBlockAddress)) != 0) return;

  // The block is read back: what the handheld now holds must be what was meant,
  // or the transfer has failed.
  if ((errorFlag = read_flash_to_spibuf(ctx, SettingsBlockAddress, 128)) != 0) return;
  for (int offset = 0; offset <= 120; offset += 20) {
    if ((errorFlag = read_spibuf(ctx, offset)) != 0) return;
  }
  if (!std::equal(meant.begin(), meant.end(), buf.begin() + 8)) {
    ctx.host.Message("Einstellungen konnten nicht geschrieben werden!", "Fehler", Icon::Stop,
                     Buttons::Ok);
    errorFlag = 99;
  }
}

}  // namespace skyrelay
