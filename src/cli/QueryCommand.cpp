// upkeepctl query: one SNMP GetRequest for two objects.

#include <cstdio>
#include <string>

#include "cli/Command.h"
#include "cli/Json.h"
#include "cli/OidArgument.h"
#include "cli/Options.h"
#include "cli/Target.h"
#include "cli/TerminalText.h"
#include "cli/Texts.h"
#include "connection/TcpIpConnection.h"
#include "printer/Community.h"
#include "printer/SnmpQuery.h"

namespace upkeep::cli {

int queryCommand(const Args& args) {
    const Command& self = commands().front();
    std::vector<std::string> positional;
    bool json = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--json") {
            json = true;
        } else if (arg == "--community") {
            if (i + 1 >= args.size())
                return usageError(self, message(text::kNeedsValue, {"--community"}));
            if (auto problem = communityProblem(args[i + 1]))
                return usageError(self, *problem);
            setCommunity(args[++i]);
        } else if (arg.rfind("--", 0) == 0) {
            return usageError(self, message(text::kUnknownOption, {arg}));
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 3)
        return usageError(self, message(text::kExpected, {"ADDRESS OID_A OID_B"}));
    const std::string& address = positional[0];
    if (!isNetworkAddress(address))
        return usageError(self, message(text::kNotANetworkAddress, {address}));
    for (const std::string& oid : {positional[1], positional[2]}) {
        if (auto problem = oidProblem(oid))
            return usageError(self, *problem);
    }
    if (!snmp::encodeGetRequest(snmp::oidFromText(positional[1]), snmp::oidFromText(positional[2]),
                                community())) {
        return usageError(self,
                          message(text::kOidsDoNotFit, {std::to_string(SnmpQuery::kMessageLimit)}));
    }
    if (!resolveNetworkName(address)) {
        return fail(kExitFailed, message(text::kCannotResolve, {address}));
    }

    SnmpQuery query(PortDescriptor(address, PortType::TcpIp, channel::kUnset));
    std::string a, b;
    if (!query.query(positional[1], positional[2], a, b)) {
        return fail(kExitFailed, message(text::kNoValidResponse, {address}));
    }
    if (json) {
        // The table's two columns for each object asked.
        std::printf("[{\"oid\": %s, \"value\": %s}, {\"oid\": %s, \"value\": %s}]\n",
                    jsonString(positional[1]).c_str(), jsonString(a).c_str(),
                    jsonString(positional[2]).c_str(), jsonString(b).c_str());
    } else {
        std::printf("%s\t%s\n%s\t%s\n", positional[1].c_str(), terminalText(a).c_str(),
                    positional[2].c_str(), terminalText(b).c_str());
    }
    return kExitOk;
}

}  // namespace upkeep::cli
