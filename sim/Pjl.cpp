#include "Pjl.h"

#include <cctype>
#include <cstdio>
#include <vector>

#include "Text.h"

namespace upkeep::sim {

namespace {

constexpr std::size_t kMaxLine = 64 * 1024;

// Spaces, CR and the NUL padding some jobs carry.
std::string clean(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c != '\0')
            out += c;
    }
    return trim(out);
}

}  // namespace

std::string PjlResponder::feed(std::string_view bytes) {
    std::string reply;
    pending_.append(bytes);
    std::size_t start = 0;
    while (true) {
        // A command ends at LF, and also where the next job's UEL begins
        // (a job may end without a line end, as the IDENTIFY job does).
        const std::size_t lf = pending_.find('\n', start);
        const std::size_t uel = pending_.find(kUel, start + 1);
        if (uel != std::string::npos && (lf == std::string::npos || uel < lf)) {
            reply += line(std::string_view(pending_).substr(start, uel - start));
            start = uel;
            continue;
        }
        if (lf == std::string::npos)
            break;
        reply += line(std::string_view(pending_).substr(start, lf - start));
        start = lf + 1;
    }
    pending_.erase(0, start);
    if (pending_.size() > kMaxLine)
        pending_.clear();  // not PJL any more; do not grow without end
    return reply;
}

std::string PjlResponder::line(std::string_view raw) {
    while (startsWith(raw, kUel))
        raw.remove_prefix(kUel.size());
    const std::string text = clean(raw);
    const PjlMode mode = printer_.config().pjl;
    const std::string upper = [&] {
        std::string u = text;
        for (char& c : u)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return u;
    }();

    if (printer_.restarting())
        return {};
    if (startsWith(upper, "@PJL ")) {
        std::string command = trim(upper.substr(5));
        if (startsWith(command, "ECHO")) {
            if (mode == PjlMode::Silent)
                return {};
            return "@PJL ECHO" + text.substr(upper.find("ECHO") + 4) + "\r\n\f";
        }
        if (startsWith(command, "ENTER")) {
            const std::size_t eq = command.find('=');
            const std::string language =
                eq == std::string::npos ? "" : trim(command.substr(eq + 1));
            if (language == "UPGRADE")
                language_ = Language::Upgrade;
            else if (language == "TAVOVARWAREPLUS")
                language_ = Language::Media;
            else
                language_ = Language::Other;
            return {};
        }
        if (startsWith(command, "EOJ"))
            language_ = Language::Pjl;
        return {};
    }
    if (mode != PjlMode::Normal)
        return {};
    if (language_ == Language::Upgrade && upper == "IDENTIFY")
        return identifyReply(printer_);
    if (language_ == Language::Media && upper == "LIST")
        return mediaListReply(printer_);
    return {};
}

std::string identifyReply(const Printer& printer) {
    const PrinterConfig& config = printer.config();
    if (config.identifyReply)
        return *config.identifyReply;
    // Subsystems are listed last first; the reader of the reply reverses
    // them back into the printer's own order.
    const auto subsystems = printer.subsystems();
    std::string models = config.model;
    std::string versions = printer.version();
    if (subsystems.empty())
        return models + ",;" + versions;  // ends with the bytes, not CR LF
    for (auto it = subsystems.rbegin(); it != subsystems.rend(); ++it) {
        models += "," + it->model;
        versions += "," + it->version;
    }
    return models + ";" + versions + "\r\n";
}

std::string mediaLine(const Media& media) {
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, "%-20.20s %-20.20s", media.inkSet.c_str(),
                  media.name.c_str());
    return buffer;
}

std::string mediaListReply(const Printer& printer) {
    const auto media = printer.media();
    std::vector<std::string> inkSets;
    for (const Media& m : media) {
        bool known = false;
        for (const std::string& s : inkSets)
            known = known || s == m.inkSet;
        if (!known)
            inkSets.push_back(m.inkSet);
    }
    std::string reply;
    for (const std::string& inkSet : inkSets) {
        std::string lines;
        int count = 0;
        for (const Media& m : media) {
            if (m.inkSet == inkSet) {
                lines += mediaLine(m) + "\n";
                ++count;
            }
        }
        reply += "inkSet: " + inkSet + "\n";
        reply += "medias: " + std::to_string(count) + "\n";
        reply += lines;
    }
    return reply;
}

}  // namespace upkeep::sim
