// printer-sim: simulated printers on loopback addresses for the demo and the
// integration tests. See README.md beside this file.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <thread>
#include <vector>

#include "Config.h"
#include "DataService.h"
#include "Fd.h"
#include "Io.h"
#include "Output.h"
#include "Printer.h"
#include "PtyService.h"
#include "SnmpAgent.h"
#include "Text.h"
#include "version/Version.h"

using namespace upkeep::sim;

namespace {

constexpr int kSnmpPort = 161;

const char* const kUsage =
    "usage: printer-sim [--config FILE] [--record-dir DIR]\n"
    "                   [--address 127.0.0.N|::1 [--model TEXT] [--version TEXT]\n"
    "                    [--subsystem 'MODEL|VERSION']... [--media 'INKSET|NAME']...\n"
    "                    [--community TEXT] [--pty] [--set 'KEY=VALUE']...]\n"
    "       printer-sim --help | --version\n";

struct Served {
    std::unique_ptr<Printer> printer;
    Fd udp;
    Fd tcp;
    Pty pty;
};

struct Worker {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
};

// Binding failures: 3 when the address is taken (a caller may retry on
// another address), 1 otherwise.
int bindFailure(const std::string& address, const char* what) {
    const int code = errno == EADDRINUSE ? 3 : 1;
    complain("error: " + address + ": " + what + ": " + std::strerror(errno));
    return code;
}

// The printer's address with a port: IPv4 127.x.y.z or IPv6 ::1.
struct Endpoint {
    sockaddr_storage address{};
    socklen_t length = 0;
    int family = AF_INET;

    Endpoint(const std::string& text, int port) {
        if (text.find(':') != std::string::npos) {
            auto* in6 = reinterpret_cast<sockaddr_in6*>(&address);
            in6->sin6_family = AF_INET6;
            in6->sin6_port = htons(static_cast<std::uint16_t>(port));
            inet_pton(AF_INET6, text.c_str(), &in6->sin6_addr);
            length = sizeof(sockaddr_in6);
            family = AF_INET6;
        } else {
            auto* in = reinterpret_cast<sockaddr_in*>(&address);
            in->sin_family = AF_INET;
            in->sin_port = htons(static_cast<std::uint16_t>(port));
            inet_pton(AF_INET, text.c_str(), &in->sin_addr);
            length = sizeof(sockaddr_in);
        }
    }
    const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&address); }
};

int openSockets(Served& s) {
    const PrinterConfig& config = s.printer->config();
    const Endpoint data(config.address, config.dataPort);
    const Endpoint snmp(config.address, kSnmpPort);
    const std::string dataName = "tcp/" + std::to_string(config.dataPort);

    // TCP first: two listeners can never share an address and port, so a
    // successful bind here also tells that no other simulator has it.
    s.tcp.reset(::socket(data.family, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!s.tcp.valid())
        return bindFailure(config.address, "tcp socket");
    const int one = 1;
    ::setsockopt(s.tcp.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    const bool slowReader = config.data == DataMode::Stall || config.data == DataMode::Slow ||
                            config.data == DataMode::HalfClose;
    if (config.smallWindow.value_or(slowReader)) {
        // A small window so that the sender feels the slow reader at once.
        const int small = 4096;
        ::setsockopt(s.tcp.get(), SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    }
    if (::bind(s.tcp.get(), data.get(), data.length) != 0)
        return bindFailure(config.address, dataName.c_str());
    if (::listen(s.tcp.get(), 64) != 0)
        return bindFailure(config.address, "listen");
    setNonBlocking(s.tcp.get());

    // No SO_REUSEADDR on UDP: there it would let two agents share a port.
    s.udp.reset(::socket(snmp.family, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!s.udp.valid())
        return bindFailure(config.address, "udp socket");
    if (::bind(s.udp.get(), snmp.get(), snmp.length) != 0)
        return bindFailure(config.address, "udp/161");
    setNonBlocking(s.udp.get());

    if (config.pty) {
        std::string error;
        s.pty = openPty(error);
        if (!s.pty.master.valid()) {
            complain("error: " + config.address + ": " + error);
            return 1;
        }
    }
    return 0;
}

void answerDatagrams(Served& s) {
    char buffer[65536];
    while (true) {
        sockaddr_storage from{};
        socklen_t fromLength = sizeof from;
        const ssize_t n = ::recvfrom(s.udp.get(), buffer, sizeof buffer, 0,
                                     reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (n < 0)
            return;
        auto reply = answerSnmp(std::string_view(buffer, static_cast<std::size_t>(n)), *s.printer);
        if (reply) {
            ::sendto(s.udp.get(), reply->data(), reply->size(), 0,
                     reinterpret_cast<sockaddr*>(&from), fromLength);
        }
    }
}

void reap(std::vector<Worker>& workers) {
    for (auto it = workers.begin(); it != workers.end();) {
        if (it->done->load()) {
            it->thread.join();
            it = workers.erase(it);
        } else {
            ++it;
        }
    }
}

int parseArguments(int argc, char** argv, Config& config) {
    std::vector<std::string> args(argv + 1, argv + argc);
    PrinterConfig flagPrinter;
    bool haveFlagPrinter = false;
    std::string flagError;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= args.size()) {
                flagError = arg + " needs a value";
                return {};
            }
            return args[++i];
        };
        auto set = [&](const std::string& key, const std::string& v) {
            const std::string reason = applyPrinterKey(flagPrinter, key, v);
            if (!reason.empty() && flagError.empty())
                flagError = arg + ": " + reason;
        };
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            std::exit(0);
        } else if (arg == "--version" && args.size() == 1) {
            // Alone it asks for the program's version; with a value it is
            // the simulated printer's.
            std::cout << "printer-sim " << upkeep::versionText() << '\n';
            std::exit(0);
        } else if (arg == "--config") {
            const std::string path = value();
            std::ifstream in(path);
            if (!in) {
                complain("error: cannot read " + path);
                return 2;
            }
            std::stringstream text;
            text << in.rdbuf();
            std::string error;
            auto parsed = parseConfig(text.str(), error);
            if (!parsed) {
                complain("error: " + path + ":" + error);
                return 2;
            }
            if (!parsed->recordDir.empty())
                config.recordDir = parsed->recordDir;
            for (auto& p : parsed->printers)
                config.printers.push_back(std::move(p));
        } else if (arg == "--record-dir") {
            config.recordDir = value();
        } else if (arg == "--address" || arg == "--model" || arg == "--version" ||
                   arg == "--subsystem" || arg == "--media" || arg == "--community") {
            const std::string key = arg.substr(2);
            set(key, value());
            haveFlagPrinter = haveFlagPrinter || key == "address";
        } else if (arg == "--pty") {
            set("pty", "yes");
        } else if (arg == "--set") {
            const std::string kv = value();
            const std::size_t eq = kv.find('=');
            if (eq == std::string::npos)
                flagError = "--set needs KEY=VALUE";
            else
                set(trim(kv.substr(0, eq)), kv.substr(eq + 1));
        } else {
            flagError = "unknown argument " + arg;
        }
        if (!flagError.empty()) {
            complain("error: " + flagError);
            std::cerr << kUsage;
            return 2;
        }
    }
    if (haveFlagPrinter)
        config.printers.push_back(flagPrinter);
    if (config.printers.empty()) {
        complain("error: no printer configured");
        std::cerr << kUsage;
        return 2;
    }
    for (std::size_t i = 0; i < config.printers.size(); ++i) {
        for (std::size_t j = 0; j < i; ++j) {
            if (config.printers[i].address == config.printers[j].address) {
                complain("error: " + config.printers[i].address + " is configured twice");
                return 2;
            }
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Config config;
    if (const int code = parseArguments(argc, argv, config))
        return code;

    // Signals arrive as readable data on the main loop, never inside a
    // handler; the threads started later inherit the blocked mask.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
    Fd signalFd(::signalfd(-1, &signals, SFD_CLOEXEC));
    // Readable once stop is asked; every thread watches it.
    Fd stopFd(::eventfd(0, EFD_CLOEXEC));
    if (!signalFd.valid() || !stopFd.valid()) {
        complain(std::string("error: ") + std::strerror(errno));
        return 1;
    }

    std::vector<Served> served(config.printers.size());
    for (std::size_t i = 0; i < served.size(); ++i) {
        served[i].printer = std::make_unique<Printer>(config.printers[i]);
        if (const int code = openSockets(served[i]))
            return code;
    }

    std::vector<Worker> workers;
    for (Served& s : served) {
        std::string line = "printer " + s.printer->address() + " snmp udp/161 data tcp/" +
                           std::to_string(s.printer->config().dataPort);
        if (s.pty.master.valid()) {
            line += " pty " + s.pty.slavePath;
            auto done = std::make_shared<std::atomic<bool>>(false);
            Printer* printer = s.printer.get();
            Pty* pty = &s.pty;
            const int stop = stopFd.get();
            workers.push_back({std::thread([=, &config] {
                                   servePty(*pty, *printer, config.recordDir, stop);
                                   done->store(true);
                               }),
                               done});
        }
        say(line);
    }
    say("ready");

    std::vector<pollfd> fds;
    fds.push_back({signalFd.get(), POLLIN, 0});
    for (Served& s : served) {
        fds.push_back({s.udp.get(), POLLIN, 0});
        fds.push_back({s.tcp.get(), POLLIN, 0});
    }
    while (true) {
        if (::poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR)
            break;
        if (fds[0].revents)
            break;
        for (std::size_t i = 0; i < served.size(); ++i) {
            Served& s = served[i];
            if (fds[1 + 2 * i].revents)
                answerDatagrams(s);
            if (fds[2 + 2 * i].revents) {
                while (true) {
                    Fd connection(::accept4(s.tcp.get(), nullptr, nullptr, SOCK_CLOEXEC));
                    if (!connection.valid())
                        break;
                    reap(workers);
                    auto done = std::make_shared<std::atomic<bool>>(false);
                    Printer* printer = s.printer.get();
                    const int stop = stopFd.get();
                    workers.push_back({std::thread([c = std::move(connection), printer, stop, done,
                                                    &config]() mutable {
                                           serveConnection(std::move(c), *printer, config.recordDir,
                                                           stop);
                                           done->store(true);
                                       }),
                                       done});
                }
            }
        }
    }

    const std::uint64_t one = 1;
    if (::write(stopFd.get(), &one, sizeof one) != sizeof one)
        complain("error: cannot signal the workers to stop");
    for (Worker& w : workers)
        w.thread.join();
    return 0;
}
