#include "printer/Identification.h"

#include <atomic>
#include <cstring>

#include "connection/Connection.h"
#include "package/FirmwareCatalogue.h"
#include "printer/Printer.h"
#include "printer/SnmpQuery.h"

namespace upkeep {
namespace {

std::atomic<const FirmwareCatalogue*>& catalogueOverride() {
    static std::atomic<const FirmwareCatalogue*> override{nullptr};
    return override;
}

bool writeJob(Connection& connection, std::string_view job) {
    return connection.write(reinterpret_cast<const std::uint8_t*>(job.data()), job.size());
}

// Up to three reads with no pause; accept() judges each reply.
template <typename Accept>
bool readReply(Connection& connection, std::uint8_t* buffer, std::size_t& length, Accept accept) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        length = pjl::kReplyLimit;
        if (connection.read(buffer, length) && length > 0 && accept(buffer, length))
            return true;
    }
    return false;
}

void identifyByPjl(const PortDescriptor& port, const FirmwareCatalogue* catalogue,
                   PrinterFacts& facts) {
    std::unique_ptr<Connection> connection = createConnection(port);
    if (!connection || !connection->open())
        return;

    std::uint8_t buffer[pjl::kReplyLimit + 1];
    std::size_t length = 0;
    if (!writeJob(*connection, pjl::kEchoJob)) {
        facts.state = PrinterState::NotReachable;
        return;
    }
    bool echoed =
        readReply(*connection, buffer, length, [](const std::uint8_t* bytes, std::size_t n) {
            return n >= pjl::kEchoReply.size() &&
                   std::memcmp(bytes, pjl::kEchoReply.data(), pjl::kEchoReply.size()) == 0;
        });
    if (!echoed)
        return;

    facts.state = PrinterState::Unsupported;
    if (!writeJob(*connection, pjl::kIdentifyJob)) {
        facts.state = PrinterState::NotReachable;
        return;
    }
    if (!readReply(*connection, buffer, length,
                   [](const std::uint8_t*, std::size_t) { return true; })) {
        return;
    }
    IdentifyReply reply = parseIdentifyReply(buffer, length);
    facts.model = reply.model;
    facts.version = reply.version;
    facts.subsystemCount = reply.subsystemCount;
    facts.subsystemModels = reply.subsystemModels;
    facts.subsystemVersions = reply.subsystemVersions;
    if (!catalogue)
        return;
    facts.state = evaluate(*catalogue, facts.model, facts.version);
    for (std::size_t i = 0; i < facts.subsystemCount; ++i) {
        facts.subsystemStates[i] =
            evaluate(*catalogue, facts.subsystemModels[i], facts.subsystemVersions[i]);
    }
    // The printer lists its subsystems in the opposite order to the one
    // the program shows them in.
    for (std::size_t k = 0; k < facts.subsystemCount / 2; ++k) {
        std::size_t other = facts.subsystemCount - 1 - k;
        std::swap(facts.subsystemModels[k], facts.subsystemModels[other]);
        std::swap(facts.subsystemVersions[k], facts.subsystemVersions[other]);
        std::swap(facts.subsystemStates[k], facts.subsystemStates[other]);
    }
}

void identifyBySnmp(const PortDescriptor& port, const FirmwareCatalogue* catalogue,
                    PrinterFacts& facts) {
    SnmpAnalysis analysis(catalogue);
    std::string model, version;
    for (auto request = analysis.start(facts); request;) {
        SnmpQuery query(port);
        const bool answered =
            query.query(request->modelOid.view(), request->versionOid.view(), model, version);
        request = analysis.answer(facts, answered, model, version);
    }
}

}  // namespace

PrinterState evaluate(const FirmwareCatalogue& catalogue, std::string_view model,
                      std::string_view version) {
    const CatalogueEntry* newest = catalogue.newestEntry(model, version);
    if (!newest)
        return PrinterState::Unsupported;
    if (newest->hasVersion(version))
        return PrinterState::UpToDate;
    // A refused newest line is still newer than what the printer runs, even
    // an optional one; its download is refused when asked for.
    if (!newest->isUsable())
        return PrinterState::UpgradeAvailable;
    if (!newest->isOptional())
        return PrinterState::UpgradeAvailable;
    return newest->fileExists() ? PrinterState::UpgradeAvailable : PrinterState::UpToDate;
}

SnmpAnalysis::SnmpAnalysis(const FirmwareCatalogue* catalogue) : catalogue_(catalogue) {}
SnmpAnalysis::~SnmpAnalysis() = default;
SnmpAnalysis::SnmpAnalysis(SnmpAnalysis&&) noexcept = default;
SnmpAnalysis& SnmpAnalysis::operator=(SnmpAnalysis&&) noexcept = default;

std::optional<SnmpAnalysis::Request> SnmpAnalysis::start(PrinterFacts& facts) {
    if (!catalogue_ || catalogue_->notLoaded() != 0) {
        facts.state = PrinterState::NotReachable;
        return std::nullopt;
    }
    system_ = true;
    Request request;
    catalogue_->systemPair(request.modelOid, request.versionOid);
    return request;
}

std::optional<SnmpAnalysis::Request> SnmpAnalysis::answer(PrinterFacts& facts, bool answered,
                                                          std::string_view model,
                                                          std::string_view version) {
    if (system_) {
        system_ = false;
        if (!answered) {
            facts.model.clear();
            facts.version.clear();
            facts.state = PrinterState::NotReachable;
            return std::nullopt;
        }
        facts.model = model;
        facts.version = version;
        facts.state = evaluate(*catalogue_, facts.model, facts.version);
        if (facts.state != PrinterState::UpToDate && facts.state != PrinterState::UpgradeAvailable)
            return std::nullopt;
        facts.subsystemCount = 0;
        pairs_ = catalogue_->subsystemPairs();
        return nextSubsystem(facts);
    }
    const std::size_t slot = facts.subsystemCount;
    if (answered) {
        facts.subsystemModels[slot] = model;
        facts.subsystemVersions[slot] = version;
        facts.subsystemStates[slot] = evaluate(*catalogue_, model, version);
        ++facts.subsystemCount;
    } else {
        facts.subsystemModels[slot].clear();
        facts.subsystemVersions[slot].clear();
    }
    return nextSubsystem(facts);
}

std::optional<SnmpAnalysis::Request> SnmpAnalysis::nextSubsystem(const PrinterFacts& facts) {
    Request request;
    if (pairs_ && facts.subsystemCount < kMaxSubsystems &&
        pairs_->next(request.modelOid, request.versionOid))
        return request;
    pairs_.reset();
    return std::nullopt;
}

void setAnalysisCatalogue(const FirmwareCatalogue* catalogue) {
    catalogueOverride().store(catalogue);
}

const FirmwareCatalogue* analysisCatalogue() {
    const FirmwareCatalogue* override = catalogueOverride().load();
    return override ? override : FirmwareCatalogue::instance();
}

void identifyPrinter(Printer& printer) {
    identifyPrinter(printer, analysisCatalogue());
}

void identifyPrinter(Printer& printer, const FirmwareCatalogue* catalogue) {
    // Work on a copy so readers never see a half-written analysis; the
    // state reads "unsupported" while it runs, as it ends when it cannot go on.
    PrinterFacts facts = printer.facts();
    facts.state = PrinterState::Unsupported;
    printer.setState(PrinterState::Unsupported);
    const PortDescriptor& port = printer.portDescriptor();
    switch (port.portType()) {
        case PortType::TcpIp:
        case PortType::IpxSpx:
            identifyBySnmp(port, catalogue, facts);
            break;
        case PortType::Parallel:
        case PortType::Usb:
            identifyByPjl(port, catalogue, facts);
            break;
        default:
            break;
    }
    printer.store(facts);
}

}  // namespace upkeep
