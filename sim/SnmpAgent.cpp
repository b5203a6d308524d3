#include "SnmpAgent.h"

#include <vector>

#include "Ber.h"

namespace upkeep::sim {

namespace {

struct Binding {
    std::string oid;
    std::string_view name;   // the OID as it came
    std::string_view whole;  // the binding as it came, for echoing back
};

struct Request {
    std::string community;
    std::int64_t requestId = 0;
    std::vector<Binding> bindings;
};

std::optional<Request> parseRequest(std::string_view bytes) {
    ber::Reader outer(bytes);
    auto message = outer.next();
    if (!message || message->tag != ber::kSequence)
        return std::nullopt;
    ber::Reader fields(message->content);
    auto version = fields.next();
    auto community = fields.next();
    auto pdu = fields.next();
    if (!version || version->tag != ber::kInteger || !community ||
        community->tag != ber::kOctetString || !pdu || pdu->tag != ber::kGetRequest)
        return std::nullopt;
    if (ber::decodeInteger(version->content) != 0)
        return std::nullopt;  // an SNMPv1 agent ignores other versions

    ber::Reader pduFields(pdu->content);
    auto id = pduFields.next();
    auto status = pduFields.next();
    auto index = pduFields.next();
    auto list = pduFields.next();
    if (!id || id->tag != ber::kInteger || !status || status->tag != ber::kInteger || !index ||
        index->tag != ber::kInteger || !list || list->tag != ber::kSequence)
        return std::nullopt;
    Request request;
    request.community = std::string(community->content);
    auto requestId = ber::decodeInteger(id->content);
    if (!requestId)
        return std::nullopt;
    request.requestId = *requestId;

    ber::Reader bindings(list->content);
    while (!bindings.atEnd()) {
        auto binding = bindings.next();
        if (!binding || binding->tag != ber::kSequence)
            return std::nullopt;
        ber::Reader parts(binding->content);
        auto name = parts.next();
        if (!name || name->tag != ber::kOid || !parts.next())
            return std::nullopt;
        auto oidText = ber::decodeOid(name->content);
        if (!oidText)
            return std::nullopt;
        request.bindings.push_back({*oidText, name->whole, binding->whole});
    }
    return request;
}

std::string response(const Request& request, std::int64_t requestId, int status, int index,
                     const std::string& bindings) {
    std::string pdu = ber::encodeInteger(requestId) + ber::encodeInteger(status) +
                      ber::encodeInteger(index) + ber::encode(ber::kSequence, bindings);
    std::string message = ber::encodeInteger(0) +
                          ber::encode(ber::kOctetString, request.community) +
                          ber::encode(ber::kGetResponse, pdu);
    return ber::encode(ber::kSequence, message);
}

std::string echoedBindings(const Request& request) {
    std::string out;
    for (const Binding& b : request.bindings)
        out += b.whole;
    return out;
}

}  // namespace

std::optional<std::string> answerSnmp(std::string_view bytes, const Printer& printer) {
    const PrinterConfig& config = printer.config();
    if (config.snmp == SnmpMode::Silent || printer.restarting())
        return std::nullopt;
    auto request = parseRequest(bytes);
    if (!request || request->community != config.community)
        return std::nullopt;
    const std::int64_t id = config.snmpRequestId.value_or(request->requestId);

    switch (config.snmp) {
        case SnmpMode::Raw:
            return config.snmpRaw;
        case SnmpMode::Error: {
            const int index = config.snmpErrorStatus == 1 || request->bindings.empty() ? 0 : 1;
            return response(*request, id, config.snmpErrorStatus, index, echoedBindings(*request));
        }
        case SnmpMode::Malformed: {
            // A real answer cut in half: its lengths promise more than arrives.
            std::string whole = response(*request, id, 0, 0, echoedBindings(*request));
            return whole.substr(0, whole.size() / 2);
        }
        default:
            break;
    }

    std::string bindings;
    for (std::size_t i = 0; i < request->bindings.size(); ++i) {
        const Binding& b = request->bindings[i];
        auto text = printer.objectText(b.oid);
        if (!text) {
            // SNMPv1: the whole request fails on the first unknown object,
            // and the answer carries the request's bindings unchanged.
            return response(*request, id, 2, static_cast<int>(i) + 1, echoedBindings(*request));
        }
        if (config.snmpDrop.count(b.oid))
            continue;
        std::string value = ber::encode(ber::kOctetString, config.valuePrefix + *text);
        bindings += ber::encode(ber::kSequence, std::string(b.name) + value);
    }
    return response(*request, id, 0, 0, bindings);
}

}  // namespace upkeep::sim
