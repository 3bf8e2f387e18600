// What a user reads for what a printer's protocol says: paper sizes by name or dimensions, and
// English labels for the registered keywords of media types, media sources, finishings,
// finisher devices and supplies. Every source's mapping names things through here, so a
// property sheet reads the same whichever protocol the printer speaks. Portable C++.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "printer.h"

namespace vyxserve {

// Two sizes are the same when each side is within this many millimetres of the other's,
// either way round: a printer's declared dimensions are rounded (to whole millimetres, or to
// ten-thousandths of an inch), and no two sizes of the table lie this close.
constexpr double kSizeToleranceMm = 1.0;

// The size a user reads for a media size keyword: the common name ("A4", "Letter",
// "#10 envelope") of a PWG self-describing name (`iso_a4_210x297mm`) or of its legacy form
// (`iso-a4`), else the size its dimensions name, else those dimensions ("216 x 279 mm"); a
// roll's (`roll_...`) as "62 mm roll". Empty when the keyword is none of these.
std::string SizeFromName(const std::string& keyword);

// The common name of a sheet `widthMm` by `heightMm` (either way round, within
// kSizeToleranceMm; the nearest when two are that close), else "216 x 279 mm".
std::string SizeFromDimensions(double widthMm, double heightMm);

// A roll of paper by its width: "62 mm roll".
std::string RollSize(double widthMm);

// The dimensions a PWG self-describing name carries, in millimetres; false for another name.
bool DimensionsOfName(const std::string& keyword, double& widthMm, double& heightMm);

// True when the two sheets are the same size within kSizeToleranceMm, either way round.
bool SameSize(double widthMm, double heightMm, double otherWidthMm, double otherHeightMm);

// A keyword as a user would write it: "photo-matte" -> "Photo matte". A text that is no
// keyword (upper case, spaces, anything beyond ASCII letters, digits, '-', '_' and '.') is
// the printer's own wording and comes back as it is.
std::string ReadableKeyword(const std::string& text);

// English labels of the registered keywords ("stationery" -> "Plain paper", "tray-2" ->
// "Tray 2", "staple-dual-left" -> "Two staples left"); any other keyword made readable, any
// other text as it is.
std::string MediaTypeLabel(const std::string& keyword);
std::string MediaSourceLabel(const std::string& keyword);
std::string FinishingLabel(const std::string& keyword);

// A finishing device ("Stapler", "Hole punch", ...) by its finisher MIB number or its keyword
// (`stitcher`, `puncher`, `punch`); "Finisher" for a number it does not know.
std::string FinisherDeviceLabel(std::int64_t finDeviceType);
std::string FinisherDeviceLabel(const std::string& keyword);

// A kind of supply, by its Printer MIB number or its keyword (`toner`, `inkCartridge`). A
// keyword is found in any case and with or without separators, as printers write it
// (`tonerCartridge`, `toner-cartridge` in marker-types, `TONER_CARTRIDGE`), and a number given
// as the keyword (`21`) is read as the MIB's.
struct SupplyType {
    std::int64_t value;  // PrtMarkerSuppliesTypeTC; 0 for a keyword the MIB does not number
    const char* keyword;
    const char* label;  // "Ink cartridge"; empty for other and unknown, which name no kind
    bool colorant;      // it marks the page: toner, ink, ink ribbon, wax, ...
};
const SupplyType* FindSupplyType(std::int64_t value);
const SupplyType* FindSupplyType(const std::string& keyword);

// A colour as a name reads in a supply's: "magenta" -> "Magenta", "light-cyan" -> "Light cyan";
// empty for a colour that says nothing ("", "unknown", "no-color", "none").
std::string ColourWord(const std::string& colour);

// Whether a supply marks the page, and so leads the list: by its kind where its type names one
// (toner and ink do; a drum, fuser or waste box does not); a supply whose type names no kind
// (other, unknown, missing, a keyword no table knows) when it has a colour, as toners have and
// maintenance kits have not. `colour` as the printer gives it (`cyan`, `#00FFFF`, `no-color`).
bool IsColorantSupply(const SupplyType* type, const std::string& colour);

// A supply named by its colour and the label of its type: "Magenta ink cartridge", "Cyan
// supply" without a type, the type alone ("Drum") without a colour; empty without either.
std::string SupplyName(const std::string& colour, const std::string& typeLabel);

// Puts the colorant supplies (toner, ink, ...) first, each group in the printer's order, so
// that a caller showing the first entries as "toner colours" shows toners, not a drum.
void LeadWithColorants(std::vector<Toner>& toners);

}  // namespace vyxserve
