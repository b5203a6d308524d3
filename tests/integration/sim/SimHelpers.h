#pragma once
// Small helpers shared by the tests that run printer-sim.

#include <fstream>
#include <sstream>
#include <string>

namespace upkeep::test {

// One [printer] section at @ADDRn@ (n from 1); `more` holds further key lines.
inline std::string simPrinter(int n, const std::string& model = "", const std::string& version = "",
                              const std::string& more = "") {
    std::string section = "[printer]\naddress = @ADDR" + std::to_string(n) + "@\n";
    if (!model.empty())
        section += "model = " + model + "\nversion = " + version + "\n";
    return section + more;
}

inline std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace upkeep::test
