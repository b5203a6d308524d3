#include "app/controllers/Texts.h"

#include <cctype>
#include <memory>

#include "connection/FileConnection.h"
#include "package/FirmwareCatalogue.h"
#include "resources/Strings.h"

namespace upkeep::app {
namespace {

// Reads a decimal number like "%d": optional blanks and sign, then digits.
// Returns false (leaving the value) when there are no digits.
bool readNumber(std::string_view text, std::size_t& at, long& value) {
    std::size_t i = at;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    std::size_t digits = i;
    long number = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        if (number < 100000)
            number = number * 10 + (text[i] - '0');
        ++i;
    }
    if (i == digits)
        return false;
    value = negative ? -number : number;
    at = i;
    return true;
}

std::string beforeBlank(std::string_view text) {
    return std::string(text.substr(0, text.find(' ')));
}

std::string readWhole(const PortDescriptor& descriptor) {
    FileConnection file(descriptor);
    if (!file.open())
        return {};
    std::uint32_t size = file.size();
    std::string text(size + 2, '\0');
    std::size_t length = size;
    if (size == 0 || !file.read(reinterpret_cast<std::uint8_t*>(text.data()), length) ||
        length == 0)
        return {};
    text.resize(length);
    return text;
}

}  // namespace

bool tcpIpAddressPasses(std::string_view text) {
    if (text.empty())
        return false;
    const unsigned char first = static_cast<unsigned char>(text[0]);
    if (std::isdigit(first)) {
        long numbers[4] = {-1, -1, -1, -1};
        std::size_t at = 0;
        for (int i = 0; i < 4; ++i) {
            if (i > 0) {
                if (at >= text.size() || text[at] != '.')
                    break;
                ++at;
            }
            if (!readNumber(text, at, numbers[i]))
                break;
        }
        if (numbers[0] < 1 || numbers[0] > 255)
            return false;
        for (int i = 1; i < 4; ++i) {
            if (numbers[i] < 0 || numbers[i] > 255)
                return false;
        }
        return true;
    }
    return (first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z');
}

std::string fillTemplate(std::string_view pattern, const std::vector<std::string>& values) {
    std::string out;
    std::size_t next = 0;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size()) {
            if (pattern[i + 1] == '%') {
                out += '%';
                ++i;
                continue;
            }
            if (pattern[i + 1] == 's' && next < values.size()) {
                out += values[next++];
                ++i;
                continue;
            }
        }
        out += pattern[i];
    }
    return out;
}

std::string supportPageAddress(const FirmwareCatalogue* catalogue, std::string_view versionText,
                               std::string_view modelText) {
    std::string pattern = catalogue && catalogue->location()
                              ? catalogue->location()->str()
                              : std::string(resources::text(resources::id::kSupportTemplate));
    return fillTemplate(pattern,
                        {beforeBlank(versionText), resources::languageCode(),
                         resources::text(resources::id::kSiteNumber), beforeBlank(modelText)});
}

std::string messageText(int stringId, int code) {
    std::string text = resources::text(stringId);
    if (code != 0)
        text += " (" + std::to_string(code) + ")";
    return text;
}

std::string countText(int stringId, long count) {
    std::string text = resources::text(stringId);
    if (std::size_t at = text.find("%d"); at != std::string::npos)
        text.replace(at, 2, std::to_string(count));
    return text;
}

namespace {

std::string problemText(TrustProblem problem, const std::string& file) {
    switch (problem) {
        case TrustProblem::ChecksumDiffers:
            return fillTemplate(resources::text(304), {file});
        case TrustProblem::NotListed:
            return fillTemplate(resources::text(305), {file});
        case TrustProblem::Unreadable:
            return fillTemplate(resources::text(307), {file});
        case TrustProblem::UnsignedRefused:
            return resources::text(308);
        default:
            return resources::text(306);
    }
}

// Groups of four, as key fingerprints are read out and compared, and so
// that the line can wrap.
std::string grouped(const std::string& fingerprint) {
    std::string out;
    for (std::size_t i = 0; i < fingerprint.size(); i += 4)
        out += (i == 0 ? "" : " ") + fingerprint.substr(i, 4);
    return out;
}

}  // namespace

std::string packageStateText(const PackageTrust& trust) {
    switch (trust.state) {
        case TrustState::Signed:
            return fillTemplate(resources::text(300), {trust.userId, grouped(trust.fingerprint)});
        case TrustState::Untrusted:
            return fillTemplate(resources::text(302),
                                {problemText(trust.problem, trust.problemFile)});
        default:
            if (trust.signatureRequired)
                return std::string(resources::text(301)) + "\n" + resources::text(308);
            return resources::text(301);
    }
}

std::string refusalText(const Refusal& refusal) {
    return fillTemplate(resources::text(303),
                        {refusal.file, problemText(refusal.problem, refusal.subject)});
}

std::string informationText() {
    const std::string name = resources::helpFileName();
    std::string text = readWhole(PortDescriptor(name, PortType::File, channel::kWorkingDir));
    // The program is started in its package's directory, where no help file
    // lies on this platform: the installed copy, then the source tree's.
    for (const char* directory : {UPKEEP_INSTALLED_HELP_DIR, UPKEEP_SOURCE_HELP_DIR}) {
        if (!text.empty())
            break;
        text = readWhole(PortDescriptor(std::string(directory) + "/" + name, PortType::File,
                                        channel::kFullPath));
    }
    return text;
}

}  // namespace upkeep::app
