#pragma once
// Small pure pieces of the dialogs: the TCP/IP address test, the support
// page address, message texts and the help text.

#include <string>
#include <string_view>
#include <vector>

namespace upkeep {
class FirmwareCatalogue;
struct PackageTrust;
struct Refusal;
}  // namespace upkeep

namespace upkeep::app {

// The File/New test of a TCP/IP address: a dotted quad whose first number
// is 1..255 and the others 0..255 (text after the fourth is not looked at),
// or a host name starting with an ASCII letter.
bool tcpIpAddressPasses(std::string_view text);

// Fills a printf-style template's %s in order with the values; "%%" gives
// "%". Any other conversion, and a %s beyond the values, stays as written:
// the template is data from the package and is never handed to printf.
std::string fillTemplate(std::string_view pattern, const std::vector<std::string>& values);

// The support page of a printer: the catalogue's location template (string
// 282 without a catalogue or template) filled with the version and model
// texts cut before their first blank, the language code and the site number.
std::string supportPageAddress(const FirmwareCatalogue* catalogue, std::string_view versionText,
                               std::string_view modelText);

// The text of a warning: string id, and " (code)" when code is not 0.
std::string messageText(int stringId, int code);

// String id with its one "%d" filled with the number.
std::string countText(int stringId, long count);

// The package's state as the version dialog shows it: signed by whom,
// unsigned, or untrusted and why.
std::string packageStateText(const PackageTrust& trust);

// Why a file was refused before anything was sent, naming the file.
std::string refusalText(const Refusal& refusal);

// The help text of the current language: <code>.txt in the working
// directory, else in the installed help directory, else in the source
// tree; empty when none reads.
std::string informationText();

}  // namespace upkeep::app
