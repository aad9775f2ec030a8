// The update description: the key scanner, the load and the check on any bytes.
// Oracle: the load keeps exactly the entries the scanner found, and the check
// refuses exactly what the load refuses.
#include "fuzz_support.h"
#include "package/description.h"
#include "package/package_check.h"

using namespace skyrelay;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const DescriptionScan scan = ScanDescription(bytes);
  const std::string path = fuzz::WriteInput("paket.tup", data, size);

  const DescriptionLoad load = ParseUpdateDescription(path);
  const Description& desc = load.description;
  const bool refused = !scan.isText || !scan.NamesSomething();
  if (refused) {
    FUZZ_EXPECT(load.problems.size() == 1 && load.problems[0].kind == ProblemKind::NotADescription);
  } else {
    FUZZ_EXPECT(desc.languageFiles == scan.languageFiles);
    FUZZ_EXPECT(desc.turnoutSymbolFile == scan.turnoutSymbolFile);
    FUZZ_EXPECT(desc.turnoutAssignmentFile == scan.turnoutAssignmentFile);
    FUZZ_EXPECT(desc.turnoutListFile == scan.turnoutListFile);
    FUZZ_EXPECT(desc.characterFileCount == static_cast<int>(scan.characterFiles.size()));
    FUZZ_EXPECT(scan.characterFiles.size() <= 100);
  }
  const std::vector<PackageProblem> problems = CheckPackage(path);
  const bool checkRefused = problems.size() == 1 && problems[0].file.empty() &&
                            problems[0].text == "Keine Update-Datei: " + path;
  FUZZ_EXPECT(checkRefused == refused);
  return 0;
}
