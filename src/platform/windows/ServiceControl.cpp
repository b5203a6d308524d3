// The print spooler service "spooler" through the service control manager,
// and the raw DOS device name of the first parallel port. A handle of the
// manager or of a service is closed when its owner goes.
#include <windows.h>

#include <memory>
#include <type_traits>

#include "platform/ServiceControl.h"

namespace upkeep::platform {
namespace {

struct ServiceHandleClose {
    void operator()(SC_HANDLE handle) const { ::CloseServiceHandle(handle); }
};
using ServiceHandle = std::unique_ptr<std::remove_pointer_t<SC_HANDLE>, ServiceHandleClose>;

constexpr Millis kStopLimit{15'000};
constexpr Millis kStoppingLook{100};

ServicePoll interrogate(SC_HANDLE service) {
    ServicePoll poll;
    SERVICE_STATUS status{};
    if (!::ControlService(service, SERVICE_CONTROL_INTERROGATE, &status)) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_SERVICE_NOT_ACTIVE) {
            poll.answer = ServicePoll::Answer::NotActive;
            return poll;
        }
        // A service between two states takes no control; its status is
        // still there to read.
        if (error != ERROR_SERVICE_CANNOT_ACCEPT_CTRL || !::QueryServiceStatus(service, &status))
            return poll;
    }
    if (status.dwCurrentState == SERVICE_STOPPED) {
        poll.answer = ServicePoll::Answer::NotActive;
        return poll;
    }
    poll.answer = ServicePoll::Answer::Status;
    poll.state = status.dwCurrentState;
    poll.checkPoint = status.dwCheckPoint;
    poll.waitHint = Millis{status.dwWaitHint};
    return poll;
}

class WindowsServices final : public ServiceControl {
  public:
    bool defineParallelDevice() override {
        return ::DefineDosDeviceW(DDD_RAW_TARGET_PATH, L"TAVOL1", L"\\Device\\Parallel0") != 0;
    }

    bool stopSpooler() override {
        ServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
        if (!manager)
            return false;
        ServiceHandle service(::OpenServiceW(
            manager.get(), L"spooler", SERVICE_STOP | SERVICE_INTERROGATE | SERVICE_QUERY_STATUS));
        if (!service)
            return false;
        SERVICE_STATUS status{};
        // Refused when it is stopped already; the wait below sees that.
        ::ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
        // However the wait ends, the port is tried: a spooler that did not
        // stop keeps it, and opening it fails then.
        waitForStop([&] { return interrogate(service.get()); }, kStopLimit);
        return true;
    }

    void startSpooler() override {
        ServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
        if (!manager)
            return;
        ServiceHandle service(
            ::OpenServiceW(manager.get(), L"spooler", SERVICE_START | SERVICE_QUERY_STATUS));
        if (!service || ::StartServiceW(service.get(), 0, nullptr))
            return;
        // A running spooler refuses to be started again, which is fine; one
        // still stopping (its stop wait gave up on it) is let finish, then
        // started, so that the workstation is not left without it.
        const Deadline deadline(kStopLimit);
        SERVICE_STATUS status{};
        while (::QueryServiceStatus(service.get(), &status) &&
               status.dwCurrentState == SERVICE_STOP_PENDING && !deadline.expired())
            Clock::sleepFor(kStoppingLook);
        if (status.dwCurrentState == SERVICE_STOPPED)
            ::StartServiceW(service.get(), 0, nullptr);
    }
};

}  // namespace

ServiceControl& systemServiceControl() {
    static WindowsServices control;
    return control;
}

}  // namespace upkeep::platform
