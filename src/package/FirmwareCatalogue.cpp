#include "package/FirmwareCatalogue.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <span>

#include "package/Environment.h"
#include "package/SectionReader.h"
#include "platform/WorkingDirectory.h"

namespace upkeep {
namespace {

// The mark stands inside the brackets right after the name, with one space
// and in capitals: "[Model OPTIONAL]" leaves the rest " OPTIONAL]".
bool marksOptional(std::string_view rest) {
    return rest.starts_with(" OPTIONAL");
}

}  // namespace

std::optional<std::string> FirmwareCatalogue::oidProblem(std::string_view oid) {
    std::size_t start = 0;
    while (start <= oid.size()) {
        std::size_t dot = oid.find('.', start);
        if (dot == std::string_view::npos)
            dot = oid.size();
        std::string_view run = oid.substr(start, dot - start);
        unsigned value = 0;
        for (char c : run) {  // held at 256 once past it, so it cannot overflow
            if (c < '0' || c > '9')
                break;
            value = std::min(value * 10 + static_cast<unsigned>(c - '0'), 256u);
        }
        if (value > 255)
            return "'" + std::string(oid) + "' holds " + std::string(run) +
                   ": a request cannot carry a number above 255";
        start = dot + 1;
    }
    return std::nullopt;
}

CatalogueNode::~CatalogueNode() {
    // Unlinked one by one, so a long catalogue cannot exhaust the stack.
    std::unique_ptr<CatalogueNode> row = std::move(nextInGroup_);
    while (row)
        row = std::move(row->nextInGroup_);
    std::unique_ptr<CatalogueNode> group = std::move(nextGroup_);
    while (group)
        group = std::move(group->nextGroup_);
}

bool SubsystemIterator::next(Oid& modelOid, Oid& versionOid) {
    while (index_ < catalogue_.subsystemCount_) {
        if (catalogue_.subsystemPair(index_++, modelOid, versionOid))
            return true;
    }
    return false;
}

CatalogueEntry* EntryIterator::next() {
    while (node_ != nullptr) {
        CatalogueEntry* entry = node_->entry();
        node_ = node_->nextInGroup();
        if (entry != nullptr && entry->isUsable())
            return entry;
    }
    return nullptr;
}

FirmwareCatalogue* FirmwareCatalogue::instance() {
    // A function-local static is initialised exactly once, and concurrent
    // first callers wait for that initialisation to finish.
    static FirmwareCatalogue* const single = [] {
        static FirmwareCatalogue catalogue;
        catalogue.load(Environment::instance());
        return &catalogue;
    }();
    return single;
}

void FirmwareCatalogue::load(Environment* environment) {
    if (attempted_)
        return;
    attempted_ = true;
    if (environment == nullptr)
        return;
    std::unique_ptr<Connection> file =
        createConnection(PortDescriptor(kFileName, PortType::File, channel::kWorkingDirCatalogue));
    std::string directory = platform::workingDirectory();
    if (!file || !file->open()) {
        file.reset();
        std::optional<PortDescriptor> configured = environment->catalogueFileDescriptor();
        if (!configured)
            return;
        file = createConnection(*configured);
        if (!file || !file->open())
            return;
        directory = std::filesystem::path(configured->name().str()).parent_path().string();
    }
    // The catalogue read is the one whose bytes were checked.
    trust_ = checkPackage(directory, file.get(), trustedKeyrings(environment));
    trust_.signatureRequired = environment->requireSigned();
    read(*file);
}

bool FirmwareCatalogue::lists(const CatalogueEntry* entry) const {
    if (entry == nullptr)
        return false;
    for (const CatalogueNode* group = groups_.get(); group; group = group->nextGroup()) {
        for (const CatalogueNode* node = group; node; node = node->nextInGroup()) {
            if (node->entry() == entry)
                return true;
        }
    }
    return false;
}

void FirmwareCatalogue::read(Connection& source) {
    if (notLoaded_ == 0)
        return;  // one catalogue per object
    attempted_ = true;
    {
        SectionReader reader(source);
        readItems(reader);
    }
    notLoaded_ = 0;
}

void FirmwareCatalogue::readItems(SectionReader& reader) {
    std::array<char, 80> name{};
    std::array<char, 80> value{};
    std::array<char, 256> headerValue{};
    SectionItemKind kind = SectionItemKind::KeyValue;
    auto next = [&](std::span<char> second) { return reader.nextItem(kind, name, second); };
    auto text = [](const auto& buffer) { return std::string_view(buffer.data()); };

    if (!next(value) || kind != SectionItemKind::Header)
        return;
    location_.emplace();
    date_.emplace();

    bool more;
    while ((more = next(headerValue)) && kind == SectionItemKind::KeyValue) {
        if (equalsIgnoringCase(text(name), "date")) {
            *date_ = text(headerValue);
        } else if (equalsIgnoringCase(text(name), "location")) {
            *location_ = text(headerValue);
        }
    }
    if (!more || kind != SectionItemKind::System)
        return;

    auto fits = [&] { return !reader.firstCut() && !reader.secondCut(); };
    auto askable = [&] { return !oidProblem(text(name)) && !oidProblem(text(value)); };
    while ((more = next(value)) && kind == SectionItemKind::KeyValue) {
        systemModelOid_ = text(name);  // the last line counts
        systemVersionOid_ = text(value);
        systemPairUsable_ = fits() && askable();
    }
    if (more && kind != SectionItemKind::Subsystem)
        return;

    while (more && (more = next(value)) && kind == SectionItemKind::KeyValue) {
        if (subsystemCount_ < kMaxSubsystems) {
            subsystemModelOids_[subsystemCount_] = text(name);
            subsystemVersionOids_[subsystemCount_] = text(value);
            subsystemUsable_[subsystemCount_] = fits() && askable();
            ++subsystemCount_;
        }
    }
    if (!more || kind != SectionItemKind::Section)
        return;

    // Model sections until the end or a header of another part.
    CatalogueNode* lastGroup = nullptr;
    CatalogueNode* lastNode = nullptr;
    FixedText<80> model;
    bool optional = false;
    bool modelFits = true;
    auto beginSection = [&] {
        model = text(name);
        modelFits = !reader.firstCut();
        optional = marksOptional(text(value));
        auto group = std::make_unique<CatalogueNode>();
        group->sectionName_ = model;
        group->sectionOptional_ = optional;
        group->sectionUsable_ = modelFits;
        CatalogueNode* added = group.get();
        if (lastGroup == nullptr) {
            groups_ = std::move(group);
        } else {
            lastGroup->nextGroup_ = std::move(group);
        }
        lastGroup = lastNode = added;
    };
    beginSection();
    while (next(value)) {
        if (kind == SectionItemKind::KeyValue) {
            auto entry = std::make_unique<CatalogueEntry>(model.view(), text(name), text(value));
            if (optional)
                entry->setOptional();
            if (!modelFits || !fits())
                entry->refuse();
            if (lastNode->entry_) {
                lastNode->nextInGroup_ = std::make_unique<CatalogueNode>();
                lastNode = lastNode->nextInGroup_.get();
            }
            lastNode->entry_ = std::move(entry);
        } else if (kind == SectionItemKind::Section) {
            beginSection();
        } else {
            break;
        }
    }
}

void FirmwareCatalogue::systemPair(Oid& modelOid, Oid& versionOid) const {
    if (systemPairUsable_)
        systemPairAsRead(modelOid, versionOid);
}

void FirmwareCatalogue::systemPairAsRead(Oid& modelOid, Oid& versionOid) const {
    if (systemModelOid_)
        modelOid = *systemModelOid_;
    if (systemVersionOid_)
        versionOid = *systemVersionOid_;
}

std::size_t FirmwareCatalogue::usableSubsystemCount() const {
    std::size_t count = 0;
    for (std::size_t i = 0; i < subsystemCount_; ++i)
        count += subsystemUsable_[i] ? 1 : 0;
    return count;
}

std::unique_ptr<SubsystemIterator> FirmwareCatalogue::subsystemPairs() const {
    if (usableSubsystemCount() == 0)
        return nullptr;
    return std::make_unique<SubsystemIterator>(*this);
}

bool FirmwareCatalogue::subsystemPair(std::size_t index, Oid& modelOid, Oid& versionOid) const {
    if (index >= subsystemCount_)
        return false;
    modelOid = subsystemModelOids_[index];
    versionOid = subsystemVersionOids_[index];
    return subsystemUsable_[index];
}

namespace {

// What lookups see of a node: its entry when there is one and it is usable.
const CatalogueEntry* usable(const CatalogueNode* node) {
    const CatalogueEntry* entry = node->entry();
    return entry != nullptr && entry->isUsable() ? entry : nullptr;
}

}  // namespace

bool FirmwareCatalogue::hasModel(std::string_view model) const {
    for (const CatalogueNode* group = groups_.get(); group != nullptr; group = group->nextGroup()) {
        if (group->sectionUsable() && group->entry() != nullptr && group->entry()->hasModel(model))
            return true;
    }
    return false;
}

const CatalogueNode* FirmwareCatalogue::groupListing(std::string_view model,
                                                     std::string_view version) const {
    for (const CatalogueNode* group = groups_.get(); group != nullptr; group = group->nextGroup()) {
        if (!group->sectionUsable() || group->entry() == nullptr ||
            !group->entry()->hasModel(model))
            continue;
        for (const CatalogueNode* node = group; node != nullptr; node = node->nextInGroup()) {
            if (usable(node) != nullptr && usable(node)->hasVersion(version))
                return group;
        }
    }
    return nullptr;
}

CatalogueEntry* FirmwareCatalogue::findEntry(std::string_view model,
                                             std::string_view version) const {
    for (const CatalogueNode* node = groupListing(model, version); node != nullptr;
         node = node->nextInGroup()) {
        if (usable(node) != nullptr && usable(node)->hasVersion(version))
            return node->entry();
    }
    return nullptr;
}

CatalogueEntry* FirmwareCatalogue::newestEntry(std::string_view model,
                                               std::string_view version) const {
    // The section's last line is the newest even when it was refused: a
    // refused line must never make an older version look current.
    CatalogueEntry* newest = nullptr;
    for (const CatalogueNode* node = groupListing(model, version); node != nullptr;
         node = node->nextInGroup()) {
        if (node->entry() != nullptr)
            newest = node->entry();
    }
    return newest;
}

std::unique_ptr<EntryIterator> FirmwareCatalogue::entriesOf(std::string_view model,
                                                            std::string_view version) const {
    const CatalogueNode* group = groupListing(model, version);
    if (group == nullptr)
        return nullptr;
    return std::make_unique<EntryIterator>(group);
}

}  // namespace upkeep
