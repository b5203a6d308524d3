#include "app/controllers/MediaCommands.h"

#include "app/controllers/Texts.h"
#include "media/MediaProfileList.h"
#include "printer/Community.h"
#include "resources/Menus.h"
#include "resources/Strings.h"

namespace upkeep::app {

using resources::text;

namespace {

std::string trimmed(const std::string& line) {
    // Blanks of every kind: a listed line still carries its line end.
    constexpr const char* kBlanks = " \t\r\n\f\v";
    const auto first = line.find_first_not_of(kBlanks);
    if (first == std::string::npos)
        return {};
    const auto last = line.find_last_not_of(kBlanks);
    return line.substr(first, last - first + 1);
}

}  // namespace

void MediaCommands::addMediaProfileCommand() {
    std::shared_ptr<Printer> printer = window_.selectedPrinter();
    if (!printer) {
        window_.showInfo(263);
        return;
    }
    if (std::optional<std::string> file = window_.view().chooseFile(FileKind::MediaProfile))
        addMediaProfile(printer, *file);
}

void MediaCommands::addMediaProfile(const std::shared_ptr<Printer>& printer,
                                    const std::string& file) {
    if (window_.operationBusy()) {
        window_.showInfo(267);
        return;
    }
    // A longer name than the download's text holds would name another file
    // once cut, so it is refused.
    if (file.size() > WindowContext::kSendTextCapacity) {
        window_.showWarning(258, 0);
        return;
    }
    window_.startRequestDone();
    window_.startDownload({Operation::AddProfile, printer, nullptr, file, 1});
}

void MediaCommands::viewMediaProfilesCommand() {
    std::shared_ptr<Printer> printer = window_.selectedPrinter();
    if (!printer) {
        window_.showInfo(263);
        return;
    }
    MainView& view = window_.view();
    std::unique_ptr<ProfileListDisplay> dialog = view.openProfileList();
    if (!dialog) {
        // Nothing could show the answer, so the printer is not asked.
        view.messageBox(MessageIcon::Warning, resources::fixed::kDialogCreationError);
        return;
    }
    dialog->addLine(std::string(text(223)) + "...");
    dialog->repaint();
    std::shared_ptr<MediaProfileList> profiles = printer->prepareListing();
    if (!window_.runBusy([profiles] { profiles->count(); }))  // fetches
        return;
    const std::size_t count = profiles->count();
    if (!profiles->reached()) {
        dialog->addLine(text(259));
    } else if (count == 0) {
        dialog->addLine(text(265));
    } else {
        dialog->clearLines();
        for (std::size_t i = 0; i < count; ++i)
            dialog->addLine(trimmed(profiles->entry(i)));
    }
    dialog->runModal();
}

void MediaCommands::fileNew() {
    for (;;) {
        std::optional<AddressAnswer> answer = window_.view().addressDialog();
        if (!answer)
            return;
        if (answer->kind == 0 && !tcpIpAddressPasses(answer->text)) {
            window_.showWarning(266, 0);
            continue;
        }
        PortDescriptor port(answer->text, answer->kind == 0 ? PortType::TcpIp : PortType::IpxSpx,
                            channel::kUnset);
        window_.addPrinter(std::make_shared<Printer>(answer->text, port));
        return;
    }
}

void MediaCommands::communityName() {
    const std::string current = community().substr(0, 64);
    if (std::optional<std::string> answer = window_.view().communityDialog(current))
        setCommunity(answer->substr(0, 64));
}

void MediaCommands::helpContents() {
    window_.view().informationDialog(informationText());
}

}  // namespace upkeep::app
