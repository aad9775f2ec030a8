// The update description: the key scanner, the load and the check on any bytes.
// Oracle: the load keeps exactly the entries the scanner found, and the check
// refuses exactly what the load refuses.
#include "run/context.h"
#include "fuzz_support.h"
#include "package/description.h"
#include "package/package_check.h"
#include "sim/virtual_host.h"

using namespace skyrelay;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const DescriptionScan scan = ScanDescription(bytes);
  const std::string path = fuzz::WriteInput("paket.tup", data, size);

  VirtualHost host(nullptr);
  Context ctx(host);
  ParseUpdateDescription(ctx, path);
  const bool refused = !scan.isText || !scan.NamesSomething();
  if (refused) {
    FUZZ_EXPECT(host.messages.size() == 1 &&
                host.messages[0].text == "Keine Update-Datei: " + path);
  } else {
    FUZZ_EXPECT(ctx.desc.LanguageFiles == scan.LanguageFiles);
    FUZZ_EXPECT(ctx.desc.TurnoutSymbolFile == scan.TurnoutSymbolFile);
    FUZZ_EXPECT(ctx.desc.TurnoutAssignmentFile == scan.TurnoutAssignmentFile);
    FUZZ_EXPECT(ctx.desc.TurnoutListFile == scan.TurnoutListFile);
    FUZZ_EXPECT(ctx.desc.CharacterFileCount == static_cast<int>(scan.CharacterFiles.size()));
    FUZZ_EXPECT(scan.CharacterFiles.size() <= 100);
  }
  const std::vector<PackageProblem> problems = CheckPackage(path);
  const bool checkRefused = problems.size() == 1 && problems[0].file.empty() &&
                            problems[0].text == "Keine Update-Datei: " + path;
  FUZZ_EXPECT(checkRefused == refused);
  return 0;
}
