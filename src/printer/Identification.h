#pragma once
// The analysis of one printer: PJL ECHO and IDENTIFY on a direct port, SNMP
// on a network port, then the evaluation against the catalogue.

#include <memory>
#include <optional>
#include <string_view>

#include "platform/FixedText.h"
#include "printer/PrinterState.h"

namespace upkeep {

class Printer;
class FirmwareCatalogue;
class SubsystemIterator;
struct PrinterFacts;

// A network printer's analysis as a sequence of SNMP requests, each chosen
// by the answer to the one before. The exchanges are the caller's, so that
// one printer can be asked with blocking queries and a fleet from one event
// loop, and both leave the same facts.
class SnmpAnalysis {
  public:
    using Oid = FixedText<128>;
    struct Request {
        Oid modelOid;
        Oid versionOid;
    };

    explicit SnmpAnalysis(const FirmwareCatalogue* catalogue);
    ~SnmpAnalysis();
    SnmpAnalysis(SnmpAnalysis&&) noexcept;
    SnmpAnalysis& operator=(SnmpAnalysis&&) noexcept;

    // The first request; none when the analysis cannot start (the facts
    // then say why).
    std::optional<Request> start(PrinterFacts& facts);
    // Takes the answer to the last request into the facts: the two values,
    // or nothing when the query failed. Gives the next request, or none when
    // the analysis is complete.
    std::optional<Request> answer(PrinterFacts& facts, bool answered, std::string_view model,
                                  std::string_view version);

  private:
    std::optional<Request> nextSubsystem(const PrinterFacts& facts);

    const FirmwareCatalogue* catalogue_;
    std::unique_ptr<SubsystemIterator> pairs_;
    bool system_ = true;
};

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
