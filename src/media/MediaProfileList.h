#pragma once
// The media profiles installed in a printer, listed by an SNMP walk of its
// media table or by the PJL list job, and the installation of a profile
// file with the printer's numeric answer.

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "connection/PortDescriptor.h"
#include "platform/Clock.h"
#include "platform/FixedText.h"

namespace upkeep {

struct TransferControl;
class Connection;

namespace media {
inline constexpr const char* kInkSetColumn = "1.3.6.1.4.1.11.2.3.9.4.2.1.4.1.12.1.1.%d.0";
inline constexpr const char* kMediaColumn = "1.3.6.1.4.1.11.2.3.9.4.2.1.4.1.12.1.2.%d.0";
inline constexpr std::string_view kJobFirst =
    "\x1b%-12345X@PJL ENTER LANGUAGE=TavoVarwarePlus\nlist";
inline constexpr std::string_view kJobSecond =
    "\n\x1b%-12345X@PJL EOJ NAME = \"list_media_profile\"";
inline constexpr std::size_t kReplyLimit = 2048;
inline constexpr platform::Millis kReplyWait{5000};
}  // namespace media

enum class InstallResult {
    Installed,  // every byte written; the printer answered 0 or nothing
    Refused,    // the printer answered another number
    Failed,     // no connection, unreadable file, or a write failed
    Canceled,   // stopped before the printer took the whole file
    EmptyFile,  // the file holds no byte: nothing was sent
};

class MediaProfileList {
  public:
    static constexpr std::size_t kCapacity = 128;
    using Entry = FixedText<128>;

    explicit MediaProfileList(const PortDescriptor& descriptor) : descriptor_(descriptor) {}
    virtual ~MediaProfileList() = default;
    MediaProfileList(const MediaProfileList&) = delete;
    MediaProfileList& operator=(const MediaProfileList&) = delete;

    // Both fetch first when the list was not fetched yet.
    std::size_t count();
    std::string entry(std::size_t index);

    // A printer on a network port is asked by SNMP; one on a USB or
    // parallel port has no SNMP agent, so the PJL list job asks it.
    void fetch();
    bool listBySnmp();
    void listByPjl();
    // Whether the printer answered at all during the fetch (tells an empty
    // list from an unreachable printer).
    bool reached() const { return reached_; }

    InstallResult install(std::string_view path, const TransferControl& control);
    // The printer's answer to the last installation.
    long resultCode() const { return resultCode_; }

    // What is stored now, without fetching.
    std::vector<std::string> stored() const;

    // Appends the media lines of a list-job reply (tests, and listByPjl).
    void parseReply(const std::uint8_t* bytes, std::size_t length);

  private:
    void add(std::string_view text);

    PortDescriptor descriptor_;
    std::array<Entry, kCapacity> entries_;
    std::size_t count_ = 0;
    bool fetched_ = false;
    bool reached_ = false;
    long resultCode_ = 0;
};

// The installation proper, over an open file and a printer connection that
// is not open yet; the printer's number goes to resultCode.
InstallResult installOver(Connection& file, Connection& printer, const TransferControl& control,
                          long& resultCode);

}  // namespace upkeep
