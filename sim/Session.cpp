#include "Session.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "Output.h"
#include "Text.h"

namespace upkeep::sim {

Session::Session(Printer& printer, const std::string& recordDir)
    : printer_(printer), number_(printer.nextConnectionNumber()), pjl_(printer), profile_(printer) {
    if (recordDir.empty())
        return;
    const std::string path =
        recordDir + "/" + printer.address() + "-" + std::to_string(number_) + ".bin";
    record_.reset(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!record_.valid())
        complain("error: " + path + ": " + std::strerror(errno));
}

Session::~Session() {
    finish();
}

std::string Session::feed(std::string_view bytes) {
    received_ += bytes.size();
    std::string_view rest = bytes;
    while (record_.valid() && !rest.empty()) {
        const ssize_t n = ::write(record_.get(), rest.data(), rest.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            complain("error: recording " + printer_.address() + ": " + std::strerror(errno));
            record_.reset();
            break;
        }
        rest.remove_prefix(static_cast<std::size_t>(n));
    }

    if (kind_ == Kind::Unknown) {
        head_.append(bytes);
        decide(false);
        if (kind_ == Kind::Unknown)
            return {};
        bytes = head_;
    }
    std::string reply;
    switch (kind_) {
        case Kind::Pjl:
            reply = pjl_.feed(bytes);
            break;
        case Kind::Profile:
            reply = profile_.feed(bytes);
            break;
        case Kind::Firmware:
            firmware_.feed(bytes);
            break;
        case Kind::Unknown:
            break;
    }
    head_.clear();
    return reply;
}

void Session::decide(bool final) {
    auto couldBecome = [&](std::string_view signature) {
        return head_.size() < signature.size() && startsWith(signature, head_);
    };
    if (startsWith(head_, kUel))
        kind_ = Kind::Pjl;
    else if (startsWith(head_, kProfileSignature))
        kind_ = Kind::Profile;
    else if (!final && (couldBecome(kUel) || couldBecome(kProfileSignature)))
        kind_ = Kind::Unknown;
    else
        kind_ = Kind::Firmware;
}

std::optional<std::uint64_t> Session::expects() const {
    switch (kind_) {
        case Kind::Pjl:
            return 0;
        case Kind::Profile:
            return profile_.remaining();
        case Kind::Firmware:
            return firmware_.remaining();
        case Kind::Unknown:
            break;
    }
    return std::nullopt;
}

int Session::idleTimeoutMs() const {
    if (kind_ == Kind::Profile && !profile_.answered())
        return printer_.config().profileIdleMs;
    return -1;
}

std::string Session::idle() {
    return kind_ == Kind::Profile ? profile_.idle() : std::string();
}

void Session::finish() {
    if (finished_)
        return;
    finished_ = true;
    if (kind_ == Kind::Unknown && !head_.empty()) {
        decide(true);
        if (kind_ == Kind::Firmware)
            firmware_.feed(head_);
    }
    record_.reset();
    say("received " + printer_.address() + " " + std::to_string(number_) + " " +
        std::to_string(received_));
    if (kind_ == Kind::Firmware)
        say(firmware_.finish(printer_));
}

}  // namespace upkeep::sim
