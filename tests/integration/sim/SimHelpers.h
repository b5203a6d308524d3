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

// A system software file the simulator takes on when it arrives whole:
// the header, then `payload` bytes.
inline std::string firmwareFile(const std::string& path, const std::string& model,
                                const std::string& version, std::size_t payload) {
    std::ofstream(path, std::ios::binary)
        << "Model: " << model << "\nVersion: " << version << "\nSize: " << payload << "\n0 0 0 0\n"
        << std::string(payload, 'f');
    return path;
}

// A media profile of `payload` bytes.
inline std::string profileFile(const std::string& path, std::size_t payload) {
    std::ofstream(path, std::ios::binary)
        << "MEDAFORM 2\nName: Big\nInkSet: Photo\nSize: " << payload << "\n\n"
        << std::string(payload, 'p');
    return path;
}

}  // namespace upkeep::test
