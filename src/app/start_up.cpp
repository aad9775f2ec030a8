#include "app/start_up.h"

#include <filesystem>

#include "app/app_text.h"
#include "core/settings_file.h"
#include "core/texts.h"
#include "core/translate.h"
#include "run/commands.h"
#include "run/rescue.h"

namespace skyrelay::app {

namespace {

// A run that was ended from outside (the PC switched off, the program killed)
// may have left the station in its update mode: the layout does not run until
// it is released. The release goes to the port and interface of that run.
void OfferRelease(MainWin& window) {
  Context& ctx = window.ctx();
  const RescueNoteRead read = ReadRescueNote(ctx.rescueFolder);
  if (read.damaged) {
    window.ShowMessage(DamagedRescueNoteText(read.path), Tr("App", "Achtung!"), Icon::Information,
                       Buttons::Ok);
  }
  if (!read.note) return;
  const std::string question = InterruptedRunText(*read.note, RestoreWay::Menu) + "\r\r" +
                               Tr("App", "Die Zentrale jetzt aus dem Update-Mode nehmen?");
  if (window.ShowMessage(question, Tr("App", "Unterbrochener Lauf"), Icon::Information,
                         Buttons::YesNo) != Answer::Yes) {
    return;
  }
  const StationRelease release = ReleaseStation(ctx, read.note);
  if (release.confirmed) {
    window.ShowMessage(Tr("App", "Die Zentrale ist aus dem Update-Mode genommen."),
                       Tr("App", "Zentrale freigegeben"), Icon::Information, Buttons::Ok);
    // The run was cut off after its backup: the configuration may be half
    // written. The restore shows what it would write and asks first.
    std::error_code error;
    if (!read.note->backupPath.empty() &&
        std::filesystem::is_regular_file(read.note->backupPath, error)) {
      window.RestoreFrom(read.note->backupPath);
    }
  } else if (release.portFailure) {
    window.ShowMessage(GermanMessage(*release.portFailure).text + "\r" + GermanCause(ctx.report),
                       Tr("App", "Fehler!"), Icon::Stop, Buttons::Ok);
  } else if (!release.cancelled) {
    window.ShowMessage(Tr("App", "Die Zentrale hat die Freigabe nicht bestätigt!") + "\r" +
                           GermanCause(ctx.report),
                       Tr("App", "Fehler!"), Icon::Stop, Buttons::Ok);
  }
}

}  // namespace

void StartUp(MainWin& window, const StartUpOptions& options) {
  Context& ctx = window.ctx();
  if (BrandCode == kBrandFen.BrandCode) window.ApplyBrand(kBrandFen);
  if (BrandCode == kBrandZb4.BrandCode) window.ApplyBrand(kBrandZb4);

  window.show();

  window.SetSettingsPath(options.settingsPath.empty() ? DefaultSettingsPath(ProgramFolder())
                                                      : options.settingsPath);
  // Without a settings file the program starts with no description and no
  // interface chosen; the port label keeps its "---".
  if (ReadSettingsFile(window.settingsPath(), ctx.settings)) window.ShowComPortNumber();

  const std::string& path = ctx.settings.UpdateFilePath;
  std::error_code error;
  if (!path.empty() && std::filesystem::is_regular_file(path, error)) {
    LoadUpdateDescription(ctx, path);
  }
  ctx.rescueFolder = options.rescueFolder;
  // Ready before the offer: the restore it may lead to needs the commands' state.
  window.ShowReadiness();
  OfferRelease(window);
  // Enter starts the update when it can; otherwise the menus are the way on
  // (F10, Ctrl+O).
  if (window.updateButton()->isEnabled()) window.updateButton()->setFocus();
}

}  // namespace skyrelay::app
