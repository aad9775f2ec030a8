// The language text file, parsed and transferred into the simulated handheld.
// Oracles: the check and the transfer agree (every text the check found is in
// its slot as the check says the display shows it, and the wrong-format message
// comes exactly when the check reports the line), and nothing outside the
// language's text area changes.
#include <vector>

#include "config/language.h"
#include "core/text_codec.h"
#include "fuzz_support.h"
#include "package/display_code.h"
#include "package/language_file.h"

using namespace skyrelay;

namespace {

constexpr uint32_t kArea = 0x120000 + 0x2000 * 3;  // language 3
constexpr uint32_t kAreaSize = 0x2000;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const LanguageFile file = ParseLanguageFile(bytes);
  // A full transfer of many texts is slow; long inputs are parsed only.
  if (file.texts.size() > 40) return 0;
  const std::string path = fuzz::WriteInput("sprache.txt", data, size);

  fuzz::SimWorld w;
  const std::vector<uint8_t> before = w.sim.flash.memory;
  FUZZ_EXPECT(TransferLanguageFile(w.target, path, 3));
  FUZZ_EXPECT(w.result.end == ConfigurationEnd::NotRun);
  FUZZ_EXPECT(w.host.messages.size() == (file.wrongFormatLine != 0 ? 1u : 0u));

  // The last line of a number wins.
  std::vector<const LanguageText*> last(256, nullptr);
  for (const LanguageText& t : file.texts) {
    FUZZ_EXPECT(t.number >= 0 && t.number <= 255);
    FUZZ_EXPECT(t.length >= 1 && t.length <= MaxTextLength);
    FUZZ_EXPECT(static_cast<int>(Utf8Length(t.text)) == t.length);
    last[static_cast<size_t>(t.number)] = &t;
  }
  for (int n = 0; n < 256; n++) {
    if (!last[n]) continue;
    const std::vector<uint8_t> slot = w.sim.flash.Read(kArea + 32 * n, 32);
    std::array<int, 513> codes{};
    TextToDisplayCodes(last[n]->text, codes, 0, last[n]->length);
    FUZZ_EXPECT(slot[0] == last[n]->length);
    for (int i = 0; i < last[n]->length; i++) FUZZ_EXPECT(slot[1 + i] == codes[i]);
  }
  FUZZ_EXPECT(fuzz::SameOutside(w.sim.flash.memory, before, kArea, kAreaSize));
  return 0;
}
