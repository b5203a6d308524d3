#include "package/StartOptions.h"

#include <strings.h>

#include <array>

#include "connection/Connection.h"
#include "package/Environment.h"
#include "package/SectionReader.h"

namespace upkeep {
namespace {

enum class Request { None, Unknown, Read };

// Reads the request from an open start-up file; Unknown when its first word
// is not a request word (the file must then stay).
Request readRequest(Connection& file, StartOptions& options) {
    SectionReader reader(file);
    std::array<char, decltype(options.argument)::kCapacity + 1> buffer{};
    if (!reader.skipBlanks() || !reader.readWord(buffer))
        return Request::None;
    if (::strcasecmp(buffer.data(), "medaform") == 0) {
        options.mediaMode = 1;
    } else if (::strcasecmp(buffer.data(), "firmware") == 0) {
        options.firmwareMode = 1;
    } else {
        return Request::Unknown;
    }
    if (!reader.readRestOfLine(buffer))
        return Request::Read;
    if (reader.skipBlanks()) {
        reader.readRestOfLine(buffer);
        if (reader.lastTextCut()) {
            options.argumentRefused = true;
        } else {
            options.argument = buffer.data();
        }
    }
    return Request::Read;
}

}  // namespace

bool readStartupRequestFrom(Connection& file, StartOptions& options) {
    return readRequest(file, options) != Request::Unknown;
}

void readStartupRequest(StartOptions& options) {
    options.firmwareMode = 0;
    options.mediaMode = 0;
    options.argument = "";  // not clear(): it hands memcpy a null source
    options.argumentRefused = false;

    Environment* environment = Environment::instance();
    if (environment == nullptr)
        return;
    std::unique_ptr<Connection> file = createConnection(environment->startupFileDescriptor());
    if (!file)
        return;
    if (file->open() && !readStartupRequestFrom(*file, options))
        return;  // not a request of ours: leave the file where it is
    file->remove();
}

}  // namespace upkeep
