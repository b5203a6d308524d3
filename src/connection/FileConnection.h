#pragma once
// A local file read through the connection interface, so the program's own
// files (catalogue, start-up request, help texts) and the files it sends are
// read like a printer. Read-only; the only kind whose size, remove and
// create work.

#include <memory>
#include <string>

#include "connection/Connection.h"
#include "platform/Clock.h"
#include "platform/UniqueFd.h"

namespace upkeep {

class FileConnection final : public Connection {
  public:
    static constexpr std::uint32_t kBlockSize = 4096;
    static constexpr platform::Millis kRemovePause{500};
    // Longest path the connection will name. A longer one is refused rather
    // than cut, since a cut path names a different file.
    static constexpr std::size_t kMaxPath = 4095;

    explicit FileConnection(const PortDescriptor& descriptor);
    ~FileConnection() override = default;

    std::uint32_t blockSize() const override { return kBlockSize; }
    bool open() override;
    // The next bytes of the file; false with length 0 at its end.
    bool read(std::uint8_t* buffer, std::size_t& length) override;
    bool write(const std::uint8_t* buffer, std::size_t length) override;
    std::uint64_t size() override;
    // Closes the file, pauses, then deletes it.
    bool remove() override;
    // Creates the file if it is missing (an existing one is left as it is).
    bool create() override;

    // The path fixed at construction (empty when it could not be made).
    const std::string& path() const { return path_; }
    bool isOpen() const { return file_.valid(); }
    int descriptor() const { return file_.get(); }
    // Reads from now on from `file`, at its current offset, in place of
    // the file opened: a checked private copy of the bytes.
    void adopt(platform::UniqueFd file);

    // The path a descriptor names: channels 3 and 4 place the name in the
    // working directory, every other channel uses it unchanged.
    static std::string pathOf(const PortDescriptor& descriptor);

  private:
    PortDescriptor descriptor_;
    std::string path_;
    platform::UniqueFd file_;
    // Read ahead in large pieces: senders take the file in small printer
    // blocks, and one system call per block would slow them down.
    static constexpr std::size_t kReadAhead = 256 * 1024;
    std::unique_ptr<std::uint8_t[]> ahead_;
    std::size_t aheadStart_ = 0;
    std::size_t aheadEnd_ = 0;
};

}  // namespace upkeep
