// The catalogue loader over arbitrary bytes, then its lookups with texts
// taken from the same bytes. No file is opened: the factory gives nothing
// and there is no environment.

#include <string>
#include <string_view>

#include "FuzzSource.h"
#include "package/Environment.h"
#include "package/FirmwareCatalogue.h"

namespace upkeep {
std::unique_ptr<Connection> createConnection(const PortDescriptor&) {
    return nullptr;
}
Environment* Environment::instance() {
    return nullptr;
}
PackageTrust checkPackage(const std::string&, Connection*, const std::vector<std::string>&) {
    return {};
}
std::vector<std::string> trustedKeyrings(Environment*) {
    return {};
}
namespace platform {
std::string workingDirectory() {
    return {};
}
}  // namespace platform
}  // namespace upkeep

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    upkeep::fuzz::FuzzSource source(data + 1, size - 1, 1 + data[0] % 128);
    upkeep::FirmwareCatalogue catalogue;
    catalogue.read(source);

    upkeep::FirmwareCatalogue::Oid model, version;
    catalogue.systemPair(model, version);
    if (auto pairs = catalogue.subsystemPairs()) {
        while (pairs->next(model, version)) {
        }
    }
    for (const upkeep::CatalogueNode* group = catalogue.groups(); group;
         group = group->nextGroup()) {
        for (const upkeep::CatalogueNode* node = group; node; node = node->nextInGroup()) {
            const upkeep::CatalogueEntry* entry = node->entry();
            if (entry == nullptr)
                continue;
            if (!entry->isUsable()) {
                // A refused text never leads to its cut form's file.
                std::unique_ptr<upkeep::Connection> file;
                if (entry->openFile(&file) != upkeep::CatalogueEntry::kNotFound)
                    __builtin_trap();
                continue;
            }
            std::string_view m = entry->model().view();
            std::string_view v = entry->version().view();
            if (!catalogue.hasModel(m) || catalogue.findEntry(m, v) == nullptr ||
                catalogue.newestEntry(m, v) == nullptr || catalogue.entriesOf(m, v) == nullptr)
                __builtin_trap();  // every listed entry must be found again
            auto entries = catalogue.entriesOf(m, v);
            while (entries->next() != nullptr) {
            }
        }
    }
    return 0;
}
