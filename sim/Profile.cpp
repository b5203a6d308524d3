#include "Profile.h"

#include "Output.h"
#include "Text.h"

namespace upkeep::sim {

namespace {
constexpr std::size_t kMaxProfileHeader = 4096;
}

std::string ProfileIntake::feed(std::string_view bytes) {
    total_ += bytes.size();
    if (headerDone_) {
        payload_ += bytes.size();
    } else {
        header_.append(bytes);
        // The header is the signature line and "Key: value" lines up to an
        // empty line; the payload follows.
        std::size_t start = 0;
        while (!headerDone_) {
            const std::size_t lf = header_.find('\n', start);
            if (lf == std::string::npos)
                break;
            std::string_view line = std::string_view(header_).substr(start, lf - start);
            start = lf + 1;
            if (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
            if (line.empty()) {
                headerDone_ = true;
                break;
            }
            const std::size_t colon = line.find(':');
            if (colon == std::string_view::npos)
                continue;
            const std::string key = lower(trim(line.substr(0, colon)));
            const std::string value = trim(line.substr(colon + 1));
            if (key == "name")
                name_ = value;
            else if (key == "inkset")
                inkSet_ = value;
            else if (key == "size")
                size_ = parseUnsigned(value);
        }
        if (headerDone_) {
            payload_ = header_.size() - start;
            header_.clear();
        } else if (header_.size() > kMaxProfileHeader) {
            headerDone_ = true;  // no header to speak of: wait for silence
            size_.reset();
            header_.clear();
        }
    }
    if (!answered_ && headerDone_ && size_ && payload_ >= *size_)
        return complete();
    return {};
}

std::optional<std::uint64_t> ProfileIntake::remaining() const {
    if (answered_)
        return 0;
    if (!headerDone_ || !size_)
        return std::nullopt;
    return payload_ < *size_ ? *size_ - payload_ : 0;
}

std::string ProfileIntake::idle() {
    if (answered_)
        return {};
    return complete();
}

std::string ProfileIntake::complete() {
    answered_ = true;
    const PrinterConfig& config = printer_.config();
    if (config.profileAnswer && *config.profileAnswer == "0" && !name_.empty())
        printer_.addMedia({inkSet_.empty() ? "Custom" : inkSet_, name_});
    say("profile " + printer_.address() + " " + std::to_string(total_) + " answered " +
        (config.profileAnswer ? *config.profileAnswer : std::string("none")));
    if (!config.profileAnswer)
        return {};
    return *config.profileAnswer + config.profileLineEnd;
}

}  // namespace upkeep::sim
