#include "package/CatalogueEntry.h"

#include <strings.h>

#include <string>

#include "package/Environment.h"

namespace upkeep {
namespace {

// A connection to the descriptor's file when it opens.
std::unique_ptr<Connection> tryOpen(const PortDescriptor& descriptor) {
    std::unique_ptr<Connection> connection = createConnection(descriptor);
    if (connection && connection->open())
        return connection;
    return nullptr;
}

}  // namespace

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && ::strncasecmp(a.data(), b.data(), a.size()) == 0;
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

    if (auto file =
            tryOpen(PortDescriptor(fileName_.view(), PortType::File, channel::kWorkingDir))) {
        *connectionOut = std::move(file);
        return kFound;
    }

    Environment* environment = Environment::instance();
    if (environment == nullptr)
        return kNoConnectionOrEnvironment;
    if (std::optional<std::string> directory = environment->systemSoftwarePath()) {
        std::string path = *directory + fileName_.str();
        // A path that does not fit the descriptor would be cut into the name
        // of some other file: skip this place instead.
        if (path.size() <= PortDescriptor::Text::kCapacity) {
            if (auto file = tryOpen(PortDescriptor(path, PortType::File, channel::kFullPath))) {
                *connectionOut = std::move(file);
                return kFound;
            }
        }
    }

    if (auto file = tryOpen(PortDescriptor(fileName_.view(), PortType::File, channel::kFullPath))) {
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
