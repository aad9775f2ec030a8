// The two brands the program can be built for. The build chooses one with the
// CMake option SKYRELAY_BRAND (ZB4 or FEN).
#pragma once

#include <string_view>

namespace skyrelay {

struct Brand {
  std::string_view BrandCode;
  std::string_view MainCaption;
  std::string_view Heading;
  bool digitalSetLabelsVisible;
  std::string_view InterfaceOption2Caption;
  std::string_view ProductName;
  std::string_view ConfigFileName;
};

inline constexpr Brand kBrandFen{"FEN",
                                 "TALON2-Update V1.1",
                                 "TALONII - Update",
                                 true,
                                 "Kontrada Basic oder Kontrada 2 oder Interface 71540",
                                 "TALON2",
                                 "TalonUpd.cfg"};
inline constexpr Brand kBrandZb4{
    "ZB4",       "Sky Relay - Update", "Sky Relay - Update", false, "QX9 oder Interface 71540",
    "SKY RELAY", "SkyRelayUpd.cfg"};

#ifndef SKYRELAY_BRAND_CODE
#define SKYRELAY_BRAND_CODE "ZB4"
#endif
inline constexpr std::string_view BrandCode = SKYRELAY_BRAND_CODE;

// The brand this build was made for.
inline constexpr const Brand& CurrentBrand() {
  return BrandCode == kBrandFen.BrandCode ? kBrandFen : kBrandZb4;
}

}  // namespace skyrelay
