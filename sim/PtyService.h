#pragma once
// A pseudo-terminal standing in for a printer on a USB or parallel port.
// Each opening of the slave device by a client is one connection, which
// ends when the client closes it.

#include <string>

#include "Fd.h"
#include "Printer.h"

namespace upkeep::sim {

struct Pty {
    Fd master;
    Fd slave;   // held by the simulator, to flush what no client read
    Fd notify;  // inotify: clients opening and closing the slave
    std::string slavePath;
};

// Opens a pty whose slave side is in raw mode (no echo, no line editing,
// no CR/LF translation). An invalid master on failure, with `error` set.
Pty openPty(std::string& error);

void servePty(Pty& pty, Printer& printer, const std::string& recordDir, int stopFd);

}  // namespace upkeep::sim
