#include "app/start_up.h"

#include <filesystem>

#include "app/app_text.h"
#include "core/settings_file.h"
#include "run/commands.h"

namespace skyrelay::app {

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
  window.ShowReadiness();
  // Enter starts the update when it can; otherwise the menus are the way on
  // (F10, Ctrl+O).
  if (window.updateButton()->isEnabled()) window.updateButton()->setFocus();
}

}  // namespace skyrelay::app
