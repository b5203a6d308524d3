#pragma once
// The package's catalogue file "firmware.ini" read into memory once: the
// support page template, the SNMP objects through which a printer and its
// subsystems report model and version, and per model the system software
// versions (oldest first) with their files.
//
// The file's parts must come in order: [HEADER], [SYSTEM], [SUBSYSTEM],
// then model sections. The first item out of order ends the reading and
// what was read up to it stands; a malformed file never fails the load.
//
// A model, version, file name or object name longer than the reader's
// 79 characters is refused rather than cut, as its cut form may name another
// model, file or object: the entry (or every entry of a model section whose
// name is too long, or the object pair) stays listed for showing, marked
// not usable, and no lookup or query ever uses it.
//
// The OPTIONAL mark ("[Model OPTIONAL]": one space, the word in capitals,
// inside the brackets right after the name) covers the entries of its own
// section only, the first model section included. Entries of later
// sections without the mark are not optional, so the order of sections in
// a catalogue does not change what is optional.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "connection/Connection.h"
#include "package/CatalogueEntry.h"
#include "package/PackageTrust.h"
#include "platform/FixedText.h"

namespace upkeep {

class Environment;

// The links of the model list: a list of groups (one per model section, in
// file order), each a chain of nodes (one per entry line, in file order).
// A section without lines leaves a group whose first node has no entry;
// lookups do not see it.
class CatalogueNode {
  public:
    CatalogueNode() = default;
    virtual ~CatalogueNode();  // takes the rest of its section and the following sections
    CatalogueNode(const CatalogueNode&) = delete;
    CatalogueNode& operator=(const CatalogueNode&) = delete;

    const CatalogueNode* nextGroup() const { return nextGroup_.get(); }
    const CatalogueNode* nextInGroup() const { return nextInGroup_.get(); }
    CatalogueEntry* entry() const { return entry_.get(); }

    // Set on a group's first node: the section's name and mark as written,
    // so that a section without lines can still be shown.
    std::string_view sectionName() const { return sectionName_.view(); }
    bool sectionOptional() const { return sectionOptional_; }
    // False when the name was too long and is shown cut.
    bool sectionUsable() const { return sectionUsable_; }

  private:
    friend class FirmwareCatalogue;
    std::unique_ptr<CatalogueNode> nextGroup_;
    std::unique_ptr<CatalogueNode> nextInGroup_;
    std::unique_ptr<CatalogueEntry> entry_;
    FixedText<80> sectionName_;
    bool sectionOptional_ = false;
    bool sectionUsable_ = true;
};

class FirmwareCatalogue;

class SubsystemIterator {
  public:
    using Oid = FixedText<128>;
    explicit SubsystemIterator(const FirmwareCatalogue& catalogue) : catalogue_(catalogue) {}
    // The next usable [SUBSYSTEM] pair; false after the last.
    bool next(Oid& modelOid, Oid& versionOid);

  private:
    const FirmwareCatalogue& catalogue_;
    std::size_t index_ = 0;
};

class EntryIterator {
  public:
    // Walks the section that begins with the given group node.
    explicit EntryIterator(const CatalogueNode* group) : node_(group) {}
    // The next usable entry of the section in file order, the first one
    // first; null after the last.
    CatalogueEntry* next();

  private:
    const CatalogueNode* node_;
};

class FirmwareCatalogue {
  public:
    using Oid = FixedText<128>;
    static constexpr std::size_t kMaxSubsystems = 8;
    static constexpr const char* kFileName = "firmware.ini";

    // An empty catalogue, not loaded (notLoaded() is 1).
    FirmwareCatalogue() = default;
    virtual ~FirmwareCatalogue() = default;
    FirmwareCatalogue(const FirmwareCatalogue&) = delete;
    FirmwareCatalogue& operator=(const FirmwareCatalogue&) = delete;

    // The program's catalogue: made and loaded (from the environment the
    // first call sees) exactly once, even when threads call it at the same
    // time; the same object afterwards, never destroyed before the end.
    static FirmwareCatalogue* instance();

    // Loads this (still empty) object as the program does: "firmware.ini"
    // in the working directory, else the file the settings name. Does
    // nothing without an environment or on an object loaded before.
    void load(Environment* environment);
    // Reads a catalogue from an open source and marks it loaded.
    void read(Connection& source);

    std::uint32_t notLoaded() const { return notLoaded_; }
    const FixedText<256>* location() const { return location_ ? &*location_ : nullptr; }
    const FixedText<16>* date() const { return date_ ? &*date_ : nullptr; }

    // Copies the [SYSTEM] objects; an absent or refused pair leaves the
    // buffers as they are.
    void systemPair(Oid& modelOid, Oid& versionOid) const;
    // The same, refused or not, for showing.
    void systemPairAsRead(Oid& modelOid, Oid& versionOid) const;
    bool hasSystemPair() const { return systemModelOid_.has_value() && systemPairUsable_; }
    // Why an object of a [SYSTEM] or [SUBSYSTEM] line cannot be asked, or
    // nothing: a request carries each number of an OID in one byte, so one
    // above 255 would ask another object.
    static std::optional<std::string> oidProblem(std::string_view oid);
    // A [SYSTEM] pair was read but refused (shown cut, or with oidProblem).
    bool systemPairRefused() const { return systemModelOid_.has_value() && !systemPairUsable_; }
    // The usable [SUBSYSTEM] pairs, or null when there are none.
    std::unique_ptr<SubsystemIterator> subsystemPairs() const;
    // The [SUBSYSTEM] lines kept (at most 8), usable or not, for showing.
    std::size_t subsystemCount() const { return subsystemCount_; }
    // Pair `index` of those lines; false when it is refused (shown cut).
    bool subsystemPair(std::size_t index, Oid& modelOid, Oid& versionOid) const;

    // Models and versions compare as whole texts ignoring letter case.
    bool hasModel(std::string_view model) const;
    // The entry of this model and version, or null.
    CatalogueEntry* findEntry(std::string_view model, std::string_view version) const;
    // The newest entry of the first section of the model that lists the
    // version, or null when none does. It may be a refused entry
    // (isUsable() false): nothing can be sent for it, but it is newer.
    CatalogueEntry* newestEntry(std::string_view model, std::string_view version) const;
    // The entries of the first section of the model that lists the version,
    // or null.
    std::unique_ptr<EntryIterator> entriesOf(std::string_view model,
                                             std::string_view version) const;

    // The model list, for showing it whole.
    const CatalogueNode* groups() const { return groups_.get(); }

    // Whether the package's files may be sent: unsigned, signed by whom, or
    // untrusted and why. Checked once, when load() found the catalogue.
    const PackageTrust& trust() const { return trust_; }
    // The entry is one of this catalogue's (not one made for a file the
    // user chose).
    bool lists(const CatalogueEntry* entry) const;

  private:
    friend class SubsystemIterator;
    void readItems(class SectionReader& reader);
    // The first group of the model that lists the version.
    const CatalogueNode* groupListing(std::string_view model, std::string_view version) const;
    std::size_t usableSubsystemCount() const;

    std::uint32_t notLoaded_ = 1;
    bool attempted_ = false;
    std::optional<FixedText<256>> location_;
    std::optional<FixedText<16>> date_;
    std::unique_ptr<CatalogueNode> groups_;
    std::optional<Oid> systemModelOid_;
    std::optional<Oid> systemVersionOid_;
    bool systemPairUsable_ = true;
    std::uint8_t subsystemCount_ = 0;
    std::array<Oid, kMaxSubsystems> subsystemModelOids_;
    std::array<Oid, kMaxSubsystems> subsystemVersionOids_;
    std::array<bool, kMaxSubsystems> subsystemUsable_{};
    PackageTrust trust_;
};

}  // namespace upkeep
