#include "platform/linux/CupsSpooler.h"

#include <cups/cups.h>

#include <memory>
#include <set>

namespace upkeep::platform {
namespace {

struct HttpClose {
    void operator()(http_t* http) const { httpClose(http); }
};
struct IppDelete {
    void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};
using Http = std::unique_ptr<http_t, HttpClose>;
using Ipp = std::unique_ptr<ipp_t, IppDelete>;

// Classes and queues that forward to another server are not printers of
// this workstation.
constexpr int kNotLocal = CUPS_PRINTER_CLASS | CUPS_PRINTER_REMOTE | CUPS_PRINTER_IMPLICIT;

Http connectToScheduler() {
    // Forget any server chosen earlier in this thread, so that CUPS_SERVER
    // and the client configuration are read as they are now.
    cupsSetServer(nullptr);
    int cancel = 0;
    int limit = static_cast<int>(Clock::scaled(CupsSpooler::kTimeLimit).count());
    Http http(httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, limit,
                           &cancel));
    if (http)
        httpSetTimeout(http.get(), static_cast<double>(limit) / 1000.0, nullptr, nullptr);
    return http;
}

}  // namespace

bool CupsSpooler::queues(std::vector<SpoolerPrinter>& out) {
    out.clear();
    Http http = connectToScheduler();
    if (!http)
        return false;

    ipp_t* request = ippNewRequest(IPP_OP_CUPS_GET_PRINTERS);
    static const char* const kAttributes[] = {"printer-name", "device-uri", "printer-type"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  static_cast<int>(std::size(kAttributes)), nullptr, kAttributes);
    ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_ENUM, "printer-type", 0);
    ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_ENUM, "printer-type-mask", kNotLocal);
    // cupsDoRequest takes the request and frees it.
    Ipp response(cupsDoRequest(http.get(), request, "/"));
    // No answer is a failure whatever the last error says: it can be left
    // from an earlier call.
    if (!response)
        return false;
    ipp_status_t status = ippGetStatusCode(response.get());
    // A scheduler without queues answers "not found": an empty spooler.
    if (status == IPP_STATUS_ERROR_NOT_FOUND)
        return true;
    if (status > IPP_STATUS_OK_EVENTS_COMPLETE)
        return false;

    // One printer group after the other; a group ends where the tag
    // changes or a separator (an attribute without a name) stands.
    SpoolerPrinter current;
    bool local = true;
    auto flush = [&] {
        if (!current.name.empty() && !current.portName.empty() && local)
            out.push_back(current);
        current = {};
        local = true;
    };
    for (ipp_attribute_t* attr = ippFirstAttribute(response.get()); attr != nullptr;
         attr = ippNextAttribute(response.get())) {
        const char* name = ippGetName(attr);
        if (ippGetGroupTag(attr) != IPP_TAG_PRINTER || name == nullptr) {
            flush();
            continue;
        }
        std::string_view key = name;
        if (key == "printer-name" && ippGetValueTag(attr) == IPP_TAG_NAME) {
            const char* text = ippGetString(attr, 0, nullptr);
            current.name = text ? text : "";
        } else if (key == "device-uri" && ippGetValueTag(attr) == IPP_TAG_URI) {
            const char* text = ippGetString(attr, 0, nullptr);
            current.portName = text ? text : "";
        } else if (key == "printer-type" && ippGetValueTag(attr) == IPP_TAG_ENUM) {
            local = (ippGetInteger(attr, 0) & kNotLocal) == 0;
        }
    }
    flush();
    return true;
}

bool CupsSpooler::printers(std::vector<SpoolerPrinter>& out) {
    return queues(out);
}

bool CupsSpooler::ports(std::vector<SpoolerPort>& out) {
    out.clear();
    std::vector<SpoolerPrinter> all;
    if (!queues(all))
        return false;
    std::set<std::string> seen;
    for (const SpoolerPrinter& printer : all) {
        if (seen.insert(printer.portName).second)
            out.push_back({printer.portName});
    }
    return true;
}

std::unique_ptr<Spooler> systemSpooler() {
    return std::make_unique<CupsSpooler>();
}

}  // namespace upkeep::platform
