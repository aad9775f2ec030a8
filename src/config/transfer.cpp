#include "config/transfer.h"

#include <algorithm>
#include <string>
#include <vector>

#include "config/language.h"
#include "config/turnouts.h"
#include "device/flash.h"
#include "package/language_file.h"

namespace skyrelay {

ProgressPlan PlanConfiguration(Description& desc) {
  ProgressPlan plan;
  for (const std::string& name : desc.languageFiles) {
    LanguageFile file;
    if (!name.empty() && ReadLanguageFile(desc.heldFiles, HeldFilePath(desc, name), file).empty()) {
      plan[ProgressStage::LanguageTexts] += static_cast<int>(file.texts.size());
    }
  }
  if (!desc.turnoutSymbolFile.empty()) plan[ProgressStage::TurnoutSymbols] = 256;
  if (!desc.turnoutAssignmentFile.empty()) plan[ProgressStage::TurnoutAssignment] = 40;
  if (!desc.turnoutListFile.empty()) plan[ProgressStage::TurnoutList] = 1;
  plan[ProgressStage::Characters] = desc.characterFileCount;
  plan[ProgressStage::Settings] = 1;
  return plan;
}

ConfigurationResult TransferConfiguration(Host& host, Handheld& handheld,
                                          Description& description) {
  ConfigurationResult result;
  ConfigurationTarget t{host, handheld, description, result};
  const Description& desc = description;

  // Make sure the handheld answers.
  if (!handheld.probe_info_block()) {
    if (Done woke = handheld.send_pm01(false); !woke) {
      t.Failed(woke.error());
      return result;
    }
    if (Result<Block> info = handheld.read_info_block(); !info) {
      t.Failed(info.error());
      return result;
    }
  }

  t.plan = PlanConfiguration(description);
  for (int language = 0; language < static_cast<int>(desc.languageFiles.size()); language++) {
    const std::string& name = desc.languageFiles[language];
    if (name.empty()) continue;
    if (!TransferLanguageFile(t, HeldFilePath(desc, name), language)) return result;
  }
  using Transfer = bool (*)(ConfigurationTarget&, const std::string&);
  const std::pair<const std::string*, Transfer> turnoutFiles[] = {
      {&desc.turnoutSymbolFile, TransferTurnoutSymbols},
      {&desc.turnoutAssignmentFile, TransferTurnoutAssignment},
      {&desc.turnoutListFile, TransferTurnoutList},
  };
  for (const auto& [name, transfer] : turnoutFiles) {
    if (name->empty()) continue;
    if (!transfer(t, HeldFilePath(desc, *name))) return result;
  }
  const int characters = t.plan[ProgressStage::Characters];
  for (int i = 1; i <= desc.characterFileCount; i++) {
    host.Progress(ProgressStage::Characters, i - 1, characters);
    if (!TransferCharacterFile(t, HeldFilePath(desc, desc.characterFiles[i]))) return result;
  }

  host.Progress(ProgressStage::Settings, 0, 1);
  if (!WriteNewConfiguration(t)) return result;
  host.Progress(ProgressStage::Settings, 1, 1);

  handheld.send_pm01(true);
  handheld.devices().link().WaitSeconds(1);
  result.end = ConfigurationEnd::Done;
  return result;
}

bool WriteNewConfiguration(ConfigurationTarget& t) {
  Handheld& handheld = t.handheld;
  t.host.SetStatus(StatusLine{StatusKind::NewConfiguration});
  Result<std::vector<int>> read = ReadFlash(handheld, SettingsBlockAddress, 128);
  if (!read) return t.Failed(read.error());

  std::vector<int> meant = read.value();
  meant[8] = 0;  // settings bytes 8, 9, 10
  meant[9] = 1;
  meant[10] = 0;

  // The block is only the first 128 bytes of its page; the page goes into
  // buffer 1 first so that the rest of it keeps its content.
  if (Done d = handheld.move_spibuf_to_buf1(SettingsBlockAddress); !d) return t.Failed(d.error());
  if (Done d = WriteBuffer1(handheld, 0, meant, 120); !d) return t.Failed(d.error());
  if (Done d = handheld.write_buf1_to_flash(SettingsBlockAddress); !d) return t.Failed(d.error());

  // The block is read back: what the handheld now holds must be what was meant,
  // or the transfer has failed.
  read = ReadFlash(handheld, SettingsBlockAddress, 128);
  if (!read) return t.Failed(read.error());
  if (read.value() != meant) {
    t.host.Message(Notice{NoticeKind::SettingsNotWritten, {}});
    t.result.end = ConfigurationEnd::SettingsNotWritten;
    return false;
  }
  return true;
}

}  // namespace skyrelay
