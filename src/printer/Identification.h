#pragma once
// The analysis of one printer: PJL ECHO and IDENTIFY on a direct port, SNMP
// on a network port, then the evaluation against the catalogue.

#include <string_view>

#include "printer/PrinterState.h"

namespace upkeep {

class Printer;
class FirmwareCatalogue;

// Analyses the printer against the program's catalogue and stores what it
// found in the printer.
void identifyPrinter(Printer& printer);
void identifyPrinter(Printer& printer, const FirmwareCatalogue* catalogue);

// The catalogue the analysis evaluates against: the program's single
// catalogue unless one was set here (tests, a package chosen by hand).
void setAnalysisCatalogue(const FirmwareCatalogue* catalogue);
const FirmwareCatalogue* analysisCatalogue();

// The state of one model/version pair against the catalogue.
PrinterState evaluate(const FirmwareCatalogue& catalogue, std::string_view model,
                      std::string_view version);

}  // namespace upkeep
