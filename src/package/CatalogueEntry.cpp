#include "package/CatalogueEntry.h"

#include "platform/AsciiText.h"

#include <string>

#include "package/Environment.h"

namespace upkeep {
namespace {

// A connection to the file when it opens. A name that does not fit a
// descriptor would be cut into the name of some other file: none then.
std::unique_ptr<Connection> tryOpen(std::string_view name, std::uint32_t placement) {
    if (!PortDescriptor::fits(name))
        return nullptr;
    std::unique_ptr<Connection> connection =
        createConnection(PortDescriptor(name, PortType::File, placement));
    if (connection && connection->open())
        return connection;
    return nullptr;
}

}  // namespace

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return platform::equalsIgnoringCase(a, b);
}

CatalogueEntry::CatalogueEntry(std::string_view model, std::string_view version,
                               std::string_view fileName)
    : fileName_(fileName), version_(version), model_(model) {
    // A zero byte would end the stored text early: that is a cut too.
    auto fits = [](std::string_view text, const auto& field) {
        return text.size() == field.size();
    };
    usable_ = fits(model, model_) && fits(version, version_) && fits(fileName, fileName_);
}

bool CatalogueEntry::hasVersion(std::string_view text) const {
    return equalsIgnoringCase(version_.view(), text);
}

bool CatalogueEntry::hasModel(std::string_view text) const {
    return equalsIgnoringCase(model_.view(), text);
}

int CatalogueEntry::openFile(std::unique_ptr<Connection>* connectionOut) const {
    if (connectionOut == nullptr)
        return kNoConnectionOrEnvironment;
    if (!usable_)
        return kNotFound;

    // A full path glued behind a directory would name some other file under
    // it, which may exist: a full path is only ever taken as it stands.
    const bool fullPath = fileName_.view().substr(0, 1) == "/";
    if (auto file = fullPath ? nullptr : tryOpen(fileName_.view(), channel::kWorkingDir)) {
        *connectionOut = std::move(file);
        return kFound;
    }

    Environment* environment = Environment::instance();
    if (environment == nullptr)
        return kNoConnectionOrEnvironment;
    if (std::optional<std::string> directory =
            fullPath ? std::nullopt : environment->systemSoftwarePath()) {
        if (auto file = tryOpen(*directory + fileName_.str(), channel::kFullPath)) {
            *connectionOut = std::move(file);
            return kFound;
        }
    }

    if (auto file = tryOpen(fileName_.view(), channel::kFullPath)) {
        *connectionOut = std::move(file);
        return kFound;
    }
    return kNotFound;
}

bool CatalogueEntry::fileExists() const {
    std::unique_ptr<Connection> file;
    return openFile(&file) == kFound;
}

}  // namespace upkeep
