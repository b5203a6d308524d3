#include "printer/SnmpSweep.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstring>
#include <deque>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>

#include "connection/NetworkName.h"
#include "connection/TcpIpConnection.h"
#include "platform/Clock.h"
#include "platform/Datagrams.h"
#include "platform/Descriptors.h"
#include "printer/Community.h"
#include "printer/Identification.h"
#include "printer/Printer.h"
#include "printer/SnmpQuery.h"

namespace upkeep {
namespace {

using SteadyClock = std::chrono::steady_clock;

// Printers started between two looks at the replies: the more at once, the
// sooner the silent ones' read limits begin.
constexpr std::size_t kStartBatch = 64;
// Printers whose subsystem queries run at once, each with a copy of its
// facts; the others that answered wait with their two values, so that
// memory stays a small record a printer however large the fleet.
constexpr std::size_t kMaxFollowing = 1024;
// What one small reply takes of a socket's receive buffer, with room to
// spare: requests sent between two looks at the replies are bounded by the
// buffer, since replies that do not fit are dropped and their printers
// would read as silent.
constexpr int kReplyRoom = 2048;
// Datagrams sent or received with one call.
constexpr std::size_t kBatch = 64;
// As much receive buffer as the system grants without privileges.
constexpr int kReceiveBuffer = 4 << 20;

// One request as sent, with the objects its reply is read for. Every
// printer asks the same few pairs, so each is encoded once for the sweep.
struct Encoded {
    std::string key;
    snmp::SubIds modelOid;
    snmp::SubIds versionOid;
    std::vector<std::uint8_t> bytes;  // empty: it cannot be encoded
};

// The rest of an analysis once its printer answered and subsystem queries
// follow: only printers at that stage carry facts of their own.
struct Follow {
    SnmpAnalysis analysis;
    PrinterFacts facts;
    const Encoded* request = nullptr;
};

struct Entry {
    Printer* printer = nullptr;
    sockaddr_storage agent{};
    socklen_t agentLength = 0;
    // Requests sent so far: a time-out is for the request it names only.
    std::uint32_t exchange = 0;
    bool waiting = false;
    std::unique_ptr<Follow> follow;
};

// A printer that answered, waiting for its turn at the subsystem queries.
struct Parked {
    std::size_t index;
    std::string model;
    std::string version;
};

struct Timer {
    SteadyClock::time_point deadline;
    std::size_t index;
    std::uint32_t exchange;
};

// An agent by family, address and port: where its replies come from.
std::string agentKey(const sockaddr_storage& address) {
    std::string key(1, static_cast<char>(address.ss_family));
    if (address.ss_family == AF_INET) {
        const auto& in = reinterpret_cast<const sockaddr_in&>(address);
        key.append(reinterpret_cast<const char*>(&in.sin_port), sizeof in.sin_port);
        key.append(reinterpret_cast<const char*>(&in.sin_addr), sizeof in.sin_addr);
    } else if (address.ss_family == AF_INET6) {
        const auto& in6 = reinterpret_cast<const sockaddr_in6&>(address);
        key.append(reinterpret_cast<const char*>(&in6.sin6_port), sizeof in6.sin6_port);
        key.append(reinterpret_cast<const char*>(&in6.sin6_addr), sizeof in6.sin6_addr);
    }
    return key;
}

class Sweep {
  public:
    Sweep(const std::vector<Printer*>& printers, std::size_t inFlight,
          const std::function<void(std::size_t)>& done)
        : entries_(printers.size()),
          limit_(std::max<std::size_t>(inFlight, 1)),
          done_(done),
          catalogue_(analysisCatalogue()),
          readLimit_(platform::Clock::scaled(TcpIpConnection::kReadTimeout)) {
        for (std::size_t i = 0; i < printers.size(); ++i)
            entries_[i].printer = printers[i];
        PrinterFacts probe;
        if (auto first = SnmpAnalysis(catalogue_).start(probe)) {
            catalogueUsable_ = true;
            system_ = &encoded(*first);
        }
    }

    void run() {
        if (catalogueUsable_)
            resolveAgents();
        std::size_t next = 0;
        for (;;) {
            for (std::size_t started = 0;
                 next < entries_.size() && inFlight_ < limit_ && started < kStartBatch; ++started)
                begin(next++);
            flushSends();
            const bool moreToStart = next < entries_.size() && inFlight_ < limit_;
            if (inFlight_ == 0 && next >= entries_.size())
                break;
            wait(moreToStart);
            expire();
        }
    }

  private:
    static void resolveAgent(Entry& entry) {
        const std::string_view name = entry.printer->portDescriptor().name().view();
        if (name.empty())
            return;
        if (auto resolved = resolveNetworkName(name)) {
            entry.agent = resolved->withPort(TcpIpConnection::kSnmpPort);
            entry.agentLength = resolved->length;
        }
    }

    // Every printer's agent before the first request. Host names are looked
    // up several at a time: a name no server answers for costs the
    // resolver's whole time limit, which one after another would add up.
    void resolveAgents() {
        constexpr std::size_t kResolvers = 32;
        std::vector<std::size_t> hosts;
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            const std::string_view name = entries_[i].printer->portDescriptor().name().view();
            if (!name.empty() && std::isalpha(static_cast<unsigned char>(name.front())))
                hosts.push_back(i);
            else
                resolveAgent(entries_[i]);
        }
        std::atomic<std::size_t> next{0};
        std::vector<std::jthread> pool;
        for (std::size_t t = 0; t < std::min(hosts.size(), kResolvers); ++t) {
            pool.emplace_back([&] {
                for (std::size_t k; (k = next.fetch_add(1)) < hosts.size();)
                    resolveAgent(entries_[hosts[k]]);
            });
        }
    }

    const Encoded& encoded(const SnmpAnalysis::Request& request) {
        std::string key = request.modelOid.str() + " " + request.versionOid.str();
        for (const Encoded& known : encoded_) {
            if (known.key == key)
                return known;
        }
        Encoded& made = encoded_.emplace_back();
        made.key = std::move(key);
        made.modelOid = snmp::oidFromText(request.modelOid.view());
        made.versionOid = snmp::oidFromText(request.versionOid.view());
        if (auto bytes = snmp::encodeGetRequest(made.modelOid, made.versionOid, community()))
            made.bytes = std::move(*bytes);
        return made;
    }

    const Encoded& current(const Entry& entry) const {
        return entry.follow ? *entry.follow->request : *system_;
    }

    void begin(std::size_t index) {
        Entry& entry = entries_[index];
        Printer& printer = *entry.printer;
        ++inFlight_;
        if (printer.state() != PrinterState::NotAnalysed) {
            --inFlight_;
            if (done_)
                done_(index);
            return;
        }
        // As a single analysis does: "unsupported" while it runs.
        printer.setState(PrinterState::Unsupported);
        if (!catalogueUsable_) {
            PrinterFacts facts = printer.facts();
            SnmpAnalysis(catalogue_).start(facts);
            finish(index, facts);
            return;
        }
        if (entry.agentLength == 0 || system_->bytes.empty()) {
            advance(index, nullptr, 0);
            return;
        }
        // One exchange per agent at a time, so that a reply names its printer.
        auto [at, fresh] = busy_.try_emplace(agentKey(entry.agent), index);
        if (!fresh) {
            blocked_.push_back(index);
            return;
        }
        sends_.push_back(index);
    }

    // Takes a reply (null: the request failed or was never answered) and
    // queues the printer's next request, or stores its facts when none follows.
    void advance(std::size_t index, const std::uint8_t* reply, std::size_t length) {
        Entry& entry = entries_[index];
        std::string model, version;
        bool answered = false;
        if (reply != nullptr) {
            const Encoded& asked = current(entry);
            answered = snmp::readReply(reply, length, asked.modelOid, asked.versionOid, model,
                                       version) == SnmpQuery::Failure::None;
        }
        for (;;) {
            std::optional<SnmpAnalysis::Request> next;
            if (!entry.follow) {
                PrinterFacts facts = entry.printer->facts();
                SnmpAnalysis analysis(catalogue_);
                analysis.start(facts);
                next = analysis.answer(facts, answered, model, version);
                if (!next) {
                    finish(index, facts);
                    return;
                }
                if (following_ >= kMaxFollowing) {
                    parked_.push_back({index, std::move(model), std::move(version)});
                    return;
                }
                entry.follow =
                    std::make_unique<Follow>(Follow{std::move(analysis), facts, nullptr});
                ++following_;
            } else {
                next = entry.follow->analysis.answer(entry.follow->facts, answered, model, version);
                if (!next) {
                    finish(index, entry.follow->facts);
                    return;
                }
            }
            Follow& follow = *entry.follow;
            follow.request = &encoded(*next);
            if (!follow.request->bytes.empty() && entry.agentLength != 0) {
                sends_.push_back(index);
                return;
            }
            // Not asked at all: as a query that failed.
            answered = false;
            model.clear();
            version.clear();
        }
    }

    // A parked printer's analysis goes on as it would have when it answered.
    void resume() {
        Parked parked = std::move(parked_.front());
        parked_.pop_front();
        Entry& entry = entries_[parked.index];
        PrinterFacts facts = entry.printer->facts();
        SnmpAnalysis analysis(catalogue_);
        analysis.start(facts);
        const auto next = analysis.answer(facts, true, parked.model, parked.version);
        entry.follow = std::make_unique<Follow>(Follow{std::move(analysis), facts, nullptr});
        ++following_;
        entry.follow->request = &encoded(*next);
        if (!entry.follow->request->bytes.empty() && entry.agentLength != 0)
            sends_.push_back(parked.index);
        else
            advance(parked.index, nullptr, 0);
    }

    void finish(std::size_t index, const PrinterFacts& facts) {
        Entry& entry = entries_[index];
        entry.printer->store(facts);
        const bool wasFollowing = entry.follow != nullptr;
        following_ -= wasFollowing ? 1 : 0;
        entry.follow.reset();
        entry.waiting = false;
        --inFlight_;
        if (entry.agentLength != 0)
            release(index);
        if (done_)
            done_(index);
        if (wasFollowing && !parked_.empty())
            resume();
    }

    // The agent is free again: a printer waiting for it goes next.
    void release(std::size_t index) {
        const std::string key = agentKey(entries_[index].agent);
        auto at = busy_.find(key);
        if (at == busy_.end() || at->second != index)
            return;
        busy_.erase(at);
        for (auto it = blocked_.begin(); it != blocked_.end(); ++it) {
            if (agentKey(entries_[*it].agent) == key) {
                busy_.emplace(key, *it);
                sends_.push_back(*it);
                blocked_.erase(it);
                return;
            }
        }
    }

    platform::DatagramSocket* socketFor(int family) {
        std::optional<platform::DatagramSocket>& socket = family == AF_INET6 ? v6_ : v4_;
        if (!socket) {
            socket.emplace(family, kReceiveBuffer);
            if (socket->valid() && socket->receiveBuffer() > 0) {
                const auto room =
                    static_cast<std::size_t>(std::max(socket->receiveBuffer() / kReplyRoom, 32));
                sendBudget_ = std::min(sendBudget_, room);
            }
        }
        return socket->valid() ? &*socket : nullptr;
    }

    // Sends what is queued, at most what the receive buffer can take the
    // replies of before the next look at them.
    void flushSends() {
        blockedOnSend_ = false;
        throttled_ = false;
        std::size_t budget = sendBudget_;
        int retries = 0;
        while (!sends_.empty()) {
            if (budget == 0) {
                throttled_ = true;
                return;
            }
            const int family = entries_[sends_.front()].agent.ss_family;
            platform::DatagramSocket* socket = socketFor(family);
            budget = std::min(budget, sendBudget_);  // known once a socket is made
            if (!socket) {
                const std::size_t index = sends_.front();
                sends_.pop_front();
                advance(index, nullptr, 0);
                continue;
            }
            std::size_t count = 0;
            for (; count < kBatch && count < budget && count < sends_.size(); ++count) {
                Entry& entry = entries_[sends_[count]];
                if (entry.agent.ss_family != family)
                    break;
                const std::vector<std::uint8_t>& bytes = current(entry).bytes;
                batch_[count].peer = entry.agent;
                batch_[count].peerLength = entry.agentLength;
                batch_[count].data = const_cast<std::uint8_t*>(bytes.data());
                batch_[count].length = bytes.size();
            }
            platform::DatagramError error = platform::DatagramError::None;
            const int sent = socket->send(batch_.data(), count, error);
            if (sent < 0) {
                if (error == platform::DatagramError::Retry && ++retries < 4)
                    continue;
                if (error == platform::DatagramError::WouldBlock) {
                    blockedOnSend_ = true;
                    return;
                }
                // The first of the batch could not be sent: as a failed write.
                retries = 0;
                const std::size_t index = sends_.front();
                sends_.pop_front();
                advance(index, nullptr, 0);
                continue;
            }
            retries = 0;
            budget -= static_cast<std::size_t>(sent);
            const auto deadline = SteadyClock::now() + readLimit_;
            for (int k = 0; k < sent; ++k) {
                const std::size_t index = sends_.front();
                sends_.pop_front();
                Entry& entry = entries_[index];
                entry.waiting = true;
                ++entry.exchange;
                timers_.push_back({deadline, index, entry.exchange});
            }
        }
    }

    void wait(bool moreToStart) {
        int timeout = 1000;
        if (throttled_) {
            // Briefly, for the replies to what just went out.
            timeout = 1;
        } else if (moreToStart || (!sends_.empty() && !blockedOnSend_)) {
            timeout = 0;
        } else if (!timers_.empty()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                timers_.front().deadline - SteadyClock::now());
            timeout = static_cast<int>(std::clamp<long long>(left.count(), 0, 1000));
        }
        std::array<platform::DatagramSocket*, 2> sockets{};
        std::size_t count = 0;
        for (std::optional<platform::DatagramSocket>* socket : {&v4_, &v6_}) {
            if (*socket && (*socket)->valid())
                sockets[count++] = &**socket;
        }
        std::array<int, 2> ready{};
        if (platform::waitDatagrams(sockets.data(), ready.data(), count, blockedOnSend_, timeout) <=
            0)
            return;
        for (std::size_t i = 0; i < count; ++i) {
            if (ready[i] & platform::kFailed)
                receiveRefusals(*sockets[i]);
            if (ready[i] & platform::kReadable)
                receive(*sockets[i]);
        }
    }

    // The printer whose exchange is out to this agent, if one is.
    std::optional<std::size_t> waitingFor(const sockaddr_storage& from) {
        auto at = busy_.find(agentKey(from));
        if (at == busy_.end() || !entries_[at->second].waiting)
            return std::nullopt;
        return at->second;
    }

    void receive(platform::DatagramSocket& socket) {
        // Bounded, so that time-outs and sends keep their turn under a flood.
        for (int round = 0; round < 64; ++round) {
            for (std::size_t k = 0; k < kBatch; ++k) {
                batch_[k].data = replies_[k].data();
                batch_[k].length = replies_[k].size();
            }
            const int n = socket.receive(batch_.data(), kBatch);
            for (int k = 0; k < n; ++k) {
                if (auto index = waitingFor(batch_[k].peer)) {
                    entries_[*index].waiting = false;
                    advance(*index, replies_[k].data(), batch_[k].length);
                }
            }
            if (static_cast<std::size_t>(n) < kBatch)
                return;
        }
    }

    // Requests the network refused, each naming its destination.
    void receiveRefusals(platform::DatagramSocket& socket) {
        sockaddr_storage to{};
        for (int i = 0; i < 4096 && socket.takeRefused(to); ++i) {
            if (auto index = waitingFor(to)) {
                entries_[*index].waiting = false;
                advance(*index, nullptr, 0);
            }
        }
    }

    void expire() {
        const auto now = SteadyClock::now();
        while (!timers_.empty() && timers_.front().deadline <= now) {
            const Timer timer = timers_.front();
            timers_.pop_front();
            Entry& entry = entries_[timer.index];
            if (entry.waiting && entry.exchange == timer.exchange) {
                entry.waiting = false;
                advance(timer.index, nullptr, 0);
            }
        }
    }

    std::vector<Entry> entries_;
    const std::size_t limit_;
    const std::function<void(std::size_t)>& done_;
    const FirmwareCatalogue* catalogue_;
    const SteadyClock::duration readLimit_;
    bool catalogueUsable_ = false;
    // Stable addresses: printers point at the request they wait on.
    std::deque<Encoded> encoded_;
    const Encoded* system_ = nullptr;

    std::size_t inFlight_ = 0;
    std::size_t following_ = 0;
    std::deque<Parked> parked_;
    std::unordered_map<std::string, std::size_t> busy_;
    std::vector<std::size_t> blocked_;
    std::deque<std::size_t> sends_;
    bool blockedOnSend_ = false;
    bool throttled_ = false;
    std::size_t sendBudget_ = std::numeric_limits<std::size_t>::max();
    // Every request has the same read limit, so they expire in the order sent.
    std::deque<Timer> timers_;
    std::optional<platform::DatagramSocket> v4_;
    std::optional<platform::DatagramSocket> v6_;
    // One batch of datagrams, sent or received together.
    std::array<platform::Datagram, kBatch> batch_{};
    std::array<std::array<std::uint8_t, SnmpQuery::kMessageLimit>, kBatch> replies_{};
};

}  // namespace

void sweepNetworkPrinters(const std::vector<Printer*>& printers, std::size_t inFlight,
                          const std::function<void(std::size_t)>& done) {
    Sweep(printers, inFlight, done).run();
}

}  // namespace upkeep
