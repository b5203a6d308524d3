#include "app/controllers/FirmwareFlows.h"

#include "app/controllers/Texts.h"
#include "package/FirmwareCatalogue.h"
#include "printer/Identification.h"

namespace upkeep::app {

bool FirmwareFlows::checkPrinter(const std::shared_ptr<Printer>& printer) {
    if (printer->state() == PrinterState::NotAnalysed) {
        // A Searching dialog shows the printer while it is asked: the
        // analysis' own when one is open, else one for this printer alone.
        auto stopped = std::make_shared<bool>(false);
        std::unique_ptr<SearchingDisplay> display;
        if (!window_.showAsked(printer->name()))
            display = window_.view().openSearching([stopped] { *stopped = true; });
        if (display) {
            display->setCounter("1");
            display->setPrinterName(printer->name());
            display->repaint();
        }
        const bool goOn = window_.runBusy([printer] { printer->versionText(); });
        if (display && !*stopped)
            display->close();
        if (*stopped || !goOn)
            return false;
    }
    switch (printer->effectiveState()) {
        case PrinterState::UpgradeAvailable:
        case PrinterState::UpToDate:
            return true;
        case PrinterState::NotAnalysed:
            window_.showWarning(262, 0);
            return false;
        case PrinterState::NotReachable:
            window_.showWarning(259, 0);
            return false;
        case PrinterState::Unsupported:
            window_.showWarning(261, 0);
            return false;
        case PrinterState::UnsupportedConnection:
            window_.showWarning(260, 0);
            return false;
        default:
            return false;
    }
}

void FirmwareFlows::upgradeCommand() {
    std::shared_ptr<Printer> printer = window_.selectedPrinter();
    if (!printer) {
        window_.showInfo(263);
        return;
    }
    if (window_.view().ctrlHeld()) {
        std::optional<std::string> file = window_.view().chooseFile(FileKind::SystemSoftware);
        if (!file)
            return;
        if (std::shared_ptr<CatalogueEntry> entry = chosenFileEntry("Forced", *file))
            startForcedDownload(printer, std::move(entry));
        return;
    }
    if (checkPrinter(printer))
        upgradePrinter(printer);
}

void FirmwareFlows::offerSupportPage(int headerId, int bodyId, Printer& printer) {
    const std::string address =
        supportPageAddress(analysisCatalogue(), printer.versionText(), printer.modelText());
    MainView& view = window_.view();
    // Next ends the program, once a browser has the page.
    if (view.webLink(headerId, bodyId, address) && view.openUrl(address))
        view.closeWindow();
}

void FirmwareFlows::upgradePrinter(const std::shared_ptr<Printer>& printer) {
    switch (printer->effectiveState()) {
        case PrinterState::UpgradeAvailable:
            if (window_.operationBusy()) {
                window_.showInfo(267);
                return;
            }
            if (!window_.view().wizardPage(190, 191, 192, 193)) {
                window_.upgradeDeclined();
                return;
            }
            if (!printer->upgradeFilesPresent()) {
                offerSupportPage(181, 185, *printer);
                return;
            }
            window_.startDownload({Operation::Upgrade,
                                   printer,
                                   nullptr,
                                   {},
                                   static_cast<int>(printer->upgradableCount())});
            return;
        case PrinterState::UpToDate:
            offerSupportPage(0, 182, *printer);
            return;
        default:
            window_.showInfo(253);
            return;
    }
}

void FirmwareFlows::startForcedDownload(const std::shared_ptr<Printer>& printer,
                                        std::shared_ptr<CatalogueEntry> entry) {
    if (window_.operationBusy()) {
        window_.showInfo(267);
        return;
    }
    window_.startDownload({Operation::SendFile, printer, std::move(entry), {}, 1});
}

std::shared_ptr<CatalogueEntry> FirmwareFlows::chosenFileEntry(const std::string& label,
                                                               const std::string& file) {
    // A path longer than an entry can hold would name another file once
    // cut, so it is refused.
    if (file.size() > CatalogueEntry::FileNameText::kCapacity) {
        window_.showWarning(181, 0);
        return nullptr;
    }
    return std::make_shared<CatalogueEntry>(label, label, file);
}

void FirmwareFlows::downgradeCommand() {
    std::shared_ptr<Printer> printer = window_.selectedPrinter();
    if (!printer) {
        window_.showInfo(263);
        return;
    }
    if (!checkPrinter(printer))
        return;
    // A catalogue version may be longer than a list line of the original
    // dialog (79 characters); it is offered whole, since a cut text would
    // name no version of the catalogue and the downgrade could only fail.
    std::vector<std::string> versions;
    if (std::unique_ptr<EntryIterator> entries = printer->versions()) {
        while (versions.size() < kMaxVersions) {
            CatalogueEntry* entry = entries->next();
            if (!entry)
                break;
            versions.push_back(entry->version().str());
        }
    }
    MainView& view = window_.view();
    std::optional<std::string> chosen = view.versionDialog(versions);
    if (!chosen)
        return;
    if (window_.operationBusy()) {
        window_.showInfo(267);
        return;
    }
    if (!view.wizardPage(200, 202, 203, 0))
        return;
    if (equalsIgnoringCase(*chosen, printer->versionText())) {
        window_.showInfo(255);
        return;
    }
    if (!printer->versionFilePresent(printer->model(), *chosen)) {
        window_.showWarning(181, 0);
        return;
    }
    window_.startDownload({Operation::Downgrade, printer, nullptr, *chosen, 1});
}

void FirmwareFlows::emergencyCommand() {
    MainView& view = window_.view();
    if (!view.wizardPage(210, 214, 211, 212))
        return;
    std::optional<std::string> file = view.chooseFile(FileKind::SystemSoftware);
    if (!file)
        return;
    std::shared_ptr<CatalogueEntry> entry = chosenFileEntry("Emergency", *file);
    if (!entry)
        return;
    // Not put into the printer list; the download's order keeps it alive.
    auto printer = std::make_shared<Printer>(
        "Emergency", PortDescriptor("", PortType::Parallel, channel::kUnset));
    startForcedDownload(printer, std::move(entry));
}

}  // namespace upkeep::app
