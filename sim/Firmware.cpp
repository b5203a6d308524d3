#include "Firmware.h"

#include <cctype>

#include "Text.h"

namespace upkeep::sim {

namespace {

constexpr std::size_t kMaxFirmwareHeader = 4096;

bool isFlag(char c) {
    return c == '0' || c == '7';
}

}  // namespace

void FirmwareIntake::feed(std::string_view bytes) {
    if (headerDone_ || !headerError_.empty()) {
        payload_ += bytes.size();
        return;
    }
    header_.append(bytes);
    std::size_t start = 0;
    while (!headerDone_ && headerError_.empty()) {
        const std::size_t lf = header_.find('\n', start);
        if (lf == std::string::npos)
            break;
        headerLine(std::string_view(header_).substr(start, lf - start));
        start = lf + 1;
    }
    if (headerDone_) {
        payload_ = header_.size() - start;
        header_.clear();
    } else if (header_.size() > kMaxFirmwareHeader && headerError_.empty()) {
        headerError_ = "no flag line in the first " + std::to_string(kMaxFirmwareHeader) + " bytes";
    }
}

void FirmwareIntake::headerLine(std::string_view line) {
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    const std::size_t colon = line.find(':');
    bool keyed = colon != std::string_view::npos && colon > 0;
    for (std::size_t i = 0; keyed && i < colon; ++i) {
        const char c = line[i];
        keyed = std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_';
    }
    if (keyed) {
        const std::string key = lower(line.substr(0, colon));
        const std::string value = trim(line.substr(colon + 1));
        if (key == "model")
            model_ = value;
        else if (key == "version")
            version_ = value;
        else if (key == "size")
            size_ = value;
        return;
    }
    if (line.size() >= 7 && isFlag(line[0]) && line[1] == ' ' && isFlag(line[2]) &&
        line[3] == ' ' && isFlag(line[4]) && line[5] == ' ' && isFlag(line[6])) {
        downgrade_ = line[0] == '7';
        headerDone_ = true;
        return;
    }
    headerError_ = "unexpected header line '" + std::string(line.substr(0, 40)) + "'";
}

std::optional<std::uint64_t> FirmwareIntake::remaining() const {
    const auto size = parseUnsigned(size_);
    if (!headerDone_ || !headerError_.empty() || !size)
        return std::nullopt;
    return payload_ < *size ? *size - payload_ : 0;
}

std::string FirmwareIntake::finish(Printer& printer) const {
    const std::string& address = printer.address();
    auto reject = [&](const std::string& reason) { return "rejected " + address + " " + reason; };
    if (!headerError_.empty())
        return reject("bad header: " + headerError_);
    if (!headerDone_)
        return reject("truncated header");
    const auto size = parseUnsigned(size_);
    if (model_.empty() || version_.empty() || !size)
        return reject("bad header: Model, Version and Size are needed");
    if (payload_ < *size)
        return reject("truncated: " + std::to_string(payload_) + " of " + std::to_string(*size) +
                      " payload bytes");
    if (payload_ > *size)
        return reject("size mismatch: " + std::to_string(payload_) +
                      " payload bytes, header says " + std::to_string(*size));
    std::string current;
    if (printer.findTarget(model_, current) == Printer::Target::None)
        return reject("model mismatch: " + model_);
    if (compareVersions(version_, current) < 0 && !downgrade_)
        return reject("older version " + version_ + " than " + current + " without downgrade flag");
    printer.setVersion(model_, version_);
    return "applied " + address + " " + model_ + " " + version_;
}

}  // namespace upkeep::sim
