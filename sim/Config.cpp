#include "Config.h"

#include <arpa/inet.h>

#include <sstream>

#include "Text.h"

namespace upkeep::sim {

namespace {

// A value may be quoted to keep outer spaces; escapes are decoded either way.
std::string valueText(const std::string& raw) {
    std::string text = trim(raw);
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        text = text.substr(1, text.size() - 2);
    return decodeEscapes(text);
}

bool splitPair(const std::string& value, std::string& first, std::string& second) {
    const std::size_t bar = value.find('|');
    if (bar == std::string::npos)
        return false;
    first = trim(value.substr(0, bar));
    second = trim(value.substr(bar + 1));
    return true;
}

bool validOid(const std::string& oid) {
    if (oid.empty() || oid.front() == '.' || oid.back() == '.')
        return false;
    bool lastDot = false;
    for (char c : oid) {
        if (c == '.') {
            if (lastDot)
                return false;
            lastDot = true;
        } else if (c < '0' || c > '9') {
            return false;
        } else {
            lastDot = false;
        }
    }
    return true;
}

}  // namespace

std::string applyPrinterKey(PrinterConfig& p, const std::string& key, const std::string& rawValue) {
    const std::string value = valueText(rawValue);
    if (key == "address") {
        in_addr addr{};
        bool loopback = value == "::1" || (inet_pton(AF_INET, value.c_str(), &addr) == 1 &&
                                           startsWith(value, "127."));
        if (!loopback)
            return "address must be a loopback address 127.x.y.z or ::1";
        p.address = value;
    } else if (key == "data-port") {
        auto n = parseUnsigned(value);
        if (!n || *n == 0 || *n > 65535)
            return "data-port needs a port number from 1 to 65535";
        p.dataPort = static_cast<int>(*n);
    } else if (key == "community") {
        p.community = value;
    } else if (key == "model") {
        p.model = value;
    } else if (key == "version") {
        p.version = value;
    } else if (key == "subsystem") {
        Subsystem s;
        if (!splitPair(value, s.model, s.version))
            return "subsystem needs MODEL | VERSION";
        if (p.subsystems.size() >= 8)
            return "at most 8 subsystems";
        p.subsystems.push_back(s);
    } else if (startsWith(key, "object ")) {
        const std::string oid = trim(key.substr(7));
        if (!validOid(oid))
            return "bad OID '" + oid + "'";
        p.objects[oid] = value;
    } else if (key == "value-prefix") {
        auto bytes = decodeHex(value);
        if (!bytes)
            return "value-prefix needs hex digits";
        p.valuePrefix = *bytes;
    } else if (key == "snmp") {
        if (value == "normal") {
            p.snmp = SnmpMode::Normal;
        } else if (value == "silent") {
            p.snmp = SnmpMode::Silent;
        } else if (value == "malformed") {
            p.snmp = SnmpMode::Malformed;
        } else if (startsWith(value, "error:")) {
            auto n = parseUnsigned(value.substr(6));
            if (!n || *n > 127)
                return "snmp = error:N needs N from 0 to 127";
            p.snmp = SnmpMode::Error;
            p.snmpErrorStatus = static_cast<int>(*n);
        } else if (startsWith(value, "raw:")) {
            auto bytes = decodeHex(value.substr(4));
            if (!bytes)
                return "snmp = raw:HEX needs hex digits";
            p.snmp = SnmpMode::Raw;
            p.snmpRaw = *bytes;
        } else {
            return "snmp is normal, silent, error:N, malformed or raw:HEX";
        }
    } else if (key == "snmp-drop") {
        if (!validOid(value))
            return "bad OID '" + value + "'";
        p.snmpDrop.insert(value);
    } else if (key == "snmp-request-id") {
        std::int64_t id = 0;
        std::istringstream in(value);
        if (!(in >> id) || !in.eof())
            return "snmp-request-id needs a number";
        p.snmpRequestId = id;
    } else if (key == "data") {
        if (value == "normal") {
            p.data = DataMode::Normal;
        } else if (value == "stall") {
            p.data = DataMode::Stall;
        } else if (startsWith(value, "close-after:")) {
            auto n = parseUnsigned(value.substr(12));
            if (!n)
                return "data = close-after:N needs a byte count";
            p.data = DataMode::CloseAfter;
            p.dataLimit = *n;
        } else if (startsWith(value, "half-close:")) {
            auto n = parseUnsigned(value.substr(11));
            if (!n)
                return "data = half-close:N needs a byte count";
            p.data = DataMode::HalfClose;
            p.dataLimit = *n;
        } else if (startsWith(value, "slow:")) {
            auto n = parseUnsigned(value.substr(5));
            if (!n || *n == 0)
                return "data = slow:N needs bytes per second above 0";
            p.data = DataMode::Slow;
            p.dataLimit = *n;
        } else {
            return "data is normal, close-after:N, half-close:N, stall or slow:N";
        }
    } else if (key == "receive-window") {
        if (value == "small")
            p.smallWindow = true;
        else if (value == "kernel")
            p.smallWindow = false;
        else
            return "receive-window is small or kernel";
    } else if (key == "pjl") {
        if (value == "normal")
            p.pjl = PjlMode::Normal;
        else if (value == "silent")
            p.pjl = PjlMode::Silent;
        else if (value == "echo-only")
            p.pjl = PjlMode::EchoOnly;
        else
            return "pjl is normal, silent or echo-only";
    } else if (key == "identify-reply") {
        p.identifyReply = value;
    } else if (key == "media") {
        Media m;
        if (!splitPair(value, m.inkSet, m.name))
            return "media needs INKSET | NAME";
        p.media.push_back(m);
    } else if (key == "profile-answer") {
        if (value == "none")
            p.profileAnswer.reset();
        else
            p.profileAnswer = value;
    } else if (key == "profile-line-end") {
        p.profileLineEnd = value;
    } else if (key == "profile-idle-ms") {
        auto n = parseUnsigned(value);
        if (!n || *n > 60000)
            return "profile-idle-ms needs milliseconds up to 60000";
        p.profileIdleMs = static_cast<int>(*n);
    } else if (key == "restart-ms") {
        auto n = parseUnsigned(value);
        if (!n || *n > 3600000)
            return "restart-ms needs milliseconds up to 3600000";
        p.restartMs = static_cast<int>(*n);
    } else if (key == "pty") {
        if (value == "yes")
            p.pty = true;
        else if (value == "no")
            p.pty = false;
        else
            return "pty is yes or no";
    } else {
        return "unknown key '" + key + "'";
    }
    return {};
}

std::optional<Config> parseConfig(const std::string& text, std::string& error) {
    Config config;
    std::istringstream in(text);
    std::string line;
    int lineNo = 0;
    PrinterConfig* current = nullptr;
    auto fail = [&](const std::string& reason) {
        error = std::to_string(lineNo) + ": " + reason;
        return std::nullopt;
    };
    while (std::getline(in, line)) {
        ++lineNo;
        const std::string t = trim(line);
        if (t.empty() || t[0] == '#' || t[0] == ';')
            continue;
        if (t.front() == '[') {
            if (t != "[printer]")
                return fail("unknown section " + t);
            config.printers.emplace_back();
            current = &config.printers.back();
            continue;
        }
        const std::size_t eq = t.find('=');
        if (eq == std::string::npos)
            return fail("expected key = value");
        const std::string key = trim(t.substr(0, eq));
        const std::string value = t.substr(eq + 1);
        if (!current) {
            if (key == "record-dir") {
                config.recordDir = valueText(value);
                continue;
            }
            return fail("'" + key + "' outside a [printer] section");
        }
        const std::string reason = applyPrinterKey(*current, key, value);
        if (!reason.empty())
            return fail(reason);
    }
    for (const PrinterConfig& p : config.printers) {
        if (p.address.empty())
            return fail("a [printer] section has no address");
    }
    return config;
}

}  // namespace upkeep::sim
