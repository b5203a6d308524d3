#include "printer/Printer.h"

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
    if (state() == PrinterState::NotAnalysed)
        analyse();
}

void Printer::analyse() {
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
            return port_.name() == other.name();
        default:
            return true;
    }
}

}  // namespace upkeep
