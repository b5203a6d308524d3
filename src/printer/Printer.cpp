#include "printer/Printer.h"

#include <filesystem>

#include "connection/DeviceLock.h"
#include "connection/ParallelConnection.h"
#include "media/MediaProfileList.h"
#include "printer/Identification.h"

namespace upkeep {
namespace {

// "%s %s " applied to the text so far and each subsystem's value, within
// the 1024-byte display field.
std::string displayText(const ValueText& own, const std::array<ValueText, kMaxSubsystems>& slots,
                        std::size_t count) {
    DisplayText text(own.view());
    std::string building = text.str();
    for (std::size_t i = 0; i < count && i < kMaxSubsystems; ++i) {
        building = building + " " + slots[i].str() + " ";
        text.assign(building);
        building = text.str();
    }
    return building;
}

// The device a parallel port opens: the path it names, else the first
// parallel port ("LPT1:", "LPT2:" and "lpt:" all open that one).
std::string parallelDevice(const PortDescriptor& port) {
    std::string_view name = port.name();
    std::string path = (!name.empty() && name.front() == '/') ? std::string(name)
                                                              : ParallelConnection::devicePath();
    return std::filesystem::path(path).lexically_normal().string();
}

}  // namespace

PrinterState PrinterFacts::effectiveState() const {
    if (state != PrinterState::UpToDate)
        return state;
    for (std::size_t i = 0; i < subsystemCount && i < kMaxSubsystems; ++i) {
        if (subsystemStates[i] == PrinterState::UpgradeAvailable)
            return PrinterState::UpgradeAvailable;
    }
    return state;
}

std::string PrinterFacts::modelText() const {
    return displayText(model, subsystemModels, subsystemCount);
}

std::string PrinterFacts::versionText() const {
    return displayText(version, subsystemVersions, subsystemCount);
}

Printer::Printer(std::string_view name, const PortDescriptor& port) : name_(name), port_(port) {}

Printer::~Printer() = default;

void Printer::analyseIfNeeded() {
    std::lock_guard analysing(analysing_);
    if (state() == PrinterState::NotAnalysed)
        identifyPrinter(*this);
}

void Printer::analyse() {
    std::lock_guard analysing(analysing_);
    identifyPrinter(*this);
}

std::string Printer::model() {
    analyseIfNeeded();
    std::lock_guard lock(mutex_);
    return facts_.model.str();
}

std::string Printer::versionText() {
    analyseIfNeeded();
    std::lock_guard lock(mutex_);
    return facts_.versionText();
}

std::string Printer::modelText() {
    analyseIfNeeded();
    std::lock_guard lock(mutex_);
    return facts_.modelText();
}

PrinterState Printer::state() const {
    std::lock_guard lock(mutex_);
    return facts_.state;
}

PrinterState Printer::effectiveState() const {
    std::lock_guard lock(mutex_);
    return facts_.effectiveState();
}

PrinterFacts Printer::facts() const {
    std::lock_guard lock(mutex_);
    return facts_;
}

void Printer::reset() {
    setState(PrinterState::NotAnalysed);
}

void Printer::markCanceled() {
    setState(PrinterState::Canceled);
}

void Printer::setState(PrinterState state) {
    std::lock_guard lock(mutex_);
    facts_.state = state;
}

void Printer::store(const PrinterFacts& facts) {
    std::lock_guard lock(mutex_);
    facts_ = facts;
}

std::shared_ptr<MediaProfileList> Printer::prepareListing() {
    auto list = std::make_shared<MediaProfileList>(port_);
    std::lock_guard lock(mutex_);
    media_ = list;
    return list;
}

InstallResult Printer::addProfile(std::string_view path, const TransferControl& control,
                                  long& printerAnswer) {
    auto list = std::make_shared<MediaProfileList>(port_);
    {
        std::lock_guard lock(mutex_);
        media_ = list;
    }
    InstallResult result = list->install(path, control);
    printerAnswer = list->resultCode();
    return result;
}

bool Printer::samePortAs(const PortDescriptor& other) const {
    if (port_.portType() != other.portType())
        return false;
    switch (port_.portType()) {
        case PortType::TcpIp:
        case PortType::IpxSpx:
        case PortType::Usb:
            // An empty name reaches no port, so it shares none.
            return !port_.name().empty() && port_.name() == other.name();
        case PortType::Parallel:
            return parallelDevice(port_) == parallelDevice(other);
        default:
            return true;
    }
}

}  // namespace upkeep
