#pragma once
// One system software file of one model, as the catalogue lists it (or a
// free-standing entry for a file the user chose).

#include <atomic>
#include <cstdint>
#include <memory>
#include <string_view>

#include "connection/Connection.h"
#include "platform/FixedText.h"

namespace upkeep {

class CatalogueEntry {
  public:
    using Text = FixedText<96>;

    // openFile results.
    static constexpr int kFound = 0;
    static constexpr int kNoConnectionOrEnvironment = 2;
    static constexpr int kNotFound = 3;

    // Texts that do not fit their fields are kept cut, for showing, and
    // the entry is refused: a cut name may be another file's or model's.
    CatalogueEntry(std::string_view model, std::string_view version, std::string_view fileName);
    CatalogueEntry(const CatalogueEntry&) = delete;
    CatalogueEntry& operator=(const CatalogueEntry&) = delete;

    // A catalogue line names a file in at most 79 characters; an entry made
    // for a file the user chose holds its whole path, as a cut path would
    // name another file.
    using FileNameText = FixedText<4096>;
    const FileNameText& fileName() const { return fileName_; }
    const Text& version() const { return version_; }
    const Text& model() const { return model_; }

    // The version equals the text, ignoring letter case.
    bool hasVersion(std::string_view text) const;
    bool hasModel(std::string_view text) const;

    // A refused entry is never found by the catalogue's lookups, and its
    // file is never opened, so nothing is ever sent for it.
    bool isUsable() const { return usable_; }
    void refuse() { usable_ = false; }

    bool isOptional() const { return optional_ != 0; }
    void setOptional() { optional_ = 1; }

    // Asks the send engine to rewrite the file's first block for a
    // downgrade; the engine clears it once applied. The only field written
    // while other threads read the catalogue.
    void setDowngradeMark() { downgradeMark_.store(1, std::memory_order_release); }
    void clearDowngradeMark() { downgradeMark_.store(0, std::memory_order_release); }
    bool downgradeMark() const { return downgradeMark_.load(std::memory_order_acquire) != 0; }

    // Finds and opens the entry's file, trying in order: the working
    // directory; the system software directory of the settings followed
    // directly by the name; the name unchanged. 0: found, the open
    // connection is in connectionOut; 2: no connectionOut, or no
    // environment; 3: found nowhere.
    int openFile(std::unique_ptr<Connection>* connectionOut) const;
    // openFile found the file.
    bool fileExists() const;

  private:
    FileNameText fileName_;
    Text version_;
    Text model_;
    std::atomic<std::uint32_t> downgradeMark_{0};
    std::uint32_t optional_ = 0;
    bool usable_ = true;
};

// Texts compare as whole texts ignoring letter case (ASCII).
bool equalsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace upkeep
