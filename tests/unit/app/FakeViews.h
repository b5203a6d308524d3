#pragma once
// Views with no widgets for the controllers' tests: they record what was
// shown and answer with what the test scripted. The queue keeps the calls
// the workers post until the test drains it, as the event loop would. The
// environment's search, shared with the window's tests, finds what it is
// given.

#include <array>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/controllers/Startup.h"
#include "app/controllers/UiQueue.h"
#include "app/controllers/Views.h"
#include "package/Environment.h"
#include "printer/Printer.h"
#include "printer/PrinterList.h"
#include "resources/Strings.h"

namespace upkeep::app::test {

// A network printer in the list, not asked yet.
inline std::shared_ptr<Printer> listed(const std::string& name, const std::string& address) {
    return std::make_shared<Printer>(name, PortDescriptor(address, PortType::TcpIp, 7));
}

// Hands a search the printers it was given; a test may act while the
// search runs (the window is busy then).
class FakeEnvironment : public Environment {
  public:
    void findPrinters(PrinterList& list) override {
        if (duringSearch)
            duringSearch();
        for (auto& p : printers)
            list.add(p);
    }
    std::optional<PortDescriptor> catalogueFileDescriptor() override { return std::nullopt; }
    std::optional<std::string> systemSoftwarePath() override { return std::nullopt; }
    bool languageSetting(std::uint8_t&) override { return false; }
    OsKind osKind() override { return OsKind::Unknown; }
    bool requireSigned() override { return signedOnly; }
    std::vector<std::shared_ptr<Printer>> printers;
    std::function<void()> duringSearch;
    bool signedOnly = false;  // the settings' "RequireSigned"
};

class FakeQueue : public UiQueue {
  public:
    void post(std::function<void()> call) override {
        std::lock_guard lock(mutex_);
        calls_.push_back(std::move(call));
        posted_.notify_all();
    }
    // Runs the queued calls, and those they post, until none is left.
    std::size_t drain() {
        std::size_t count = 0;
        while (runNext())
            ++count;
        return count;
    }
    // Runs the oldest queued call only; false when none was queued.
    bool runNext() {
        std::function<void()> call;
        {
            std::lock_guard lock(mutex_);
            if (calls_.empty())
                return false;
            call = std::move(calls_.front());
            calls_.pop_front();
        }
        call();
        return true;
    }
    // Drains until the condition holds; false when it did not within the limit.
    bool drainUntil(const std::function<bool()>& condition,
                    std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        auto end = std::chrono::steady_clock::now() + limit;
        for (;;) {
            drain();
            if (condition())
                return true;
            if (std::chrono::steady_clock::now() > end)
                return false;
            std::unique_lock lock(mutex_);
            posted_.wait_for(lock, std::chrono::milliseconds(5), [&] { return !calls_.empty(); });
        }
    }

  private:
    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<std::function<void()>> calls_;
};

struct Message {
    MessageIcon icon;
    std::string text;
};

// The parts both fakes share: message boxes and the link pages.
template <typename Base>
class FakeDialogs : public Base {
  public:
    void messageBox(MessageIcon icon, const std::string& text) override {
        messages.push_back({icon, text});
    }
    bool wizardPage(int titleId, int firstId, int secondId, int thirdId) override {
        wizards.push_back({titleId, firstId, secondId, thirdId});
        bool next = wizardAnswers.empty() ? true : wizardAnswers.front();
        if (!wizardAnswers.empty())
            wizardAnswers.pop_front();
        return next;
    }
    bool webLink(int headerId, int bodyId, const std::string& address) override {
        webLinks.push_back({headerId, bodyId, address});
        return webLinkNext;
    }
    bool openUrl(const std::string& address) override {
        openedUrls.push_back(address);
        return urlOpens;
    }

    // The message texts, in order.
    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const Message& m : messages)
            out.push_back(m.text);
        return out;
    }

    struct Link {
        int header, body;
        std::string address;
    };
    std::vector<Message> messages;
    std::vector<std::array<int, 4>> wizards;  // their texts' ids
    std::deque<bool> wizardAnswers;           // empty: Next
    std::vector<Link> webLinks;
    bool webLinkNext = false;
    std::vector<std::string> openedUrls;
    bool urlOpens = true;  // false: no browser took the address
};

class FakeMainView : public FakeDialogs<MainView> {
  public:
    struct Searching : SearchingDisplay {
        explicit Searching(FakeMainView& v) : view(v) { ++view.searchingLive; }
        ~Searching() override { --view.searchingLive; }
        void setCounter(const std::string& t) override { view.counter = t; }
        void setPrinterName(const std::string& t) override { view.printerName = t; }
        void repaint() override {}
        void close() override {}
        FakeMainView& view;
    };
    struct Sending : SendingDisplay {
        explicit Sending(FakeMainView& v) : view(v) { ++view.sendingLive; }
        ~Sending() override { --view.sendingLive; }
        void setStatusLine(const std::string& t) override { view.statusLine = t; }
        void setProgress(int p) override { view.progress.push_back(p); }
        void repaint() override {}
        void close() override {}
        // statusLine keeps the last text after the display went.
        FakeMainView& view;
    };

    struct ProfileList : ProfileListDisplay {
        explicit ProfileList(FakeMainView& v) : view(v) {}
        void addLine(const std::string& t) override { view.profileLines.push_back(t); }
        void clearLines() override { view.profileLines.clear(); }
        void repaint() override { view.profileLinesShown = view.profileLines; }
        void runModal() override { ++view.profileListRuns; }
        FakeMainView& view;
    };

    void clearRows() override { rows.clear(); }
    void insertRow(int position, const ListRow& row) override {
        rows.insert(rows.begin() + position, row);
    }
    int rowCount() override { return static_cast<int>(rows.size()); }
    std::string rowName(int row) override { return rows.at(static_cast<std::size_t>(row)).name; }
    std::optional<int> selectedRow() override { return selected; }
    void redrawRows() override {}
    void setViewChecks(bool all) override { checks.push_back(all); }

    std::unique_ptr<SearchingDisplay> openSearching(std::function<void()> onCancel) override {
        ++searchingOpens;
        cancelSearching = std::move(onCancel);
        return std::make_unique<Searching>(*this);
    }
    std::unique_ptr<SendingDisplay> openSending(std::function<void()> onCancel) override {
        ++sendingOpens;
        cancelSending = std::move(onCancel);
        return std::make_unique<Sending>(*this);
    }
    // Inline: the controller's flow is the same, only the window's own
    // responsiveness (a Qt test) is not modelled.
    void runBusy(const std::function<void()>& work) override {
        ++busyRuns;
        work();
    }
    void startProgressTimer() override { timerRunning = true; }
    void stopProgressTimer() override { timerRunning = false; }
    bool ctrlHeld() override { return ctrl; }
    std::optional<std::string> chooseFile(FileKind) override {
        ++fileDialogs;
        return file;
    }
    std::optional<std::string> versionDialog(const std::vector<std::string>& offered) override {
        versionsOffered = offered;
        return version;
    }
    std::unique_ptr<ProfileListDisplay> openProfileList() override {
        if (!profileListMade)
            return nullptr;
        return std::make_unique<ProfileList>(*this);
    }
    std::optional<AddressAnswer> addressDialog() override {
        ++addressDialogs;
        if (addressAnswers.empty())
            return std::nullopt;
        auto answer = addressAnswers.front();
        addressAnswers.pop_front();
        return answer;
    }
    std::optional<std::string> communityDialog(const std::string& current) override {
        communityShown = current;
        return communityAnswer;
    }
    void aboutDialog(const std::string& packageState) override {
        ++abouts;
        aboutPackage = packageState;
    }
    void informationDialog(const std::string& text) override { information = text; }
    void closeWindow() override { ++closes; }

    std::vector<std::string> rowNames() const {
        std::vector<std::string> out;
        for (const ListRow& r : rows)
            out.push_back(r.name);
        return out;
    }

    std::vector<ListRow> rows;
    std::optional<int> selected;
    std::vector<bool> checks;
    int searchingOpens = 0, searchingLive = 0;
    int sendingOpens = 0, sendingLive = 0;
    std::function<void()> cancelSearching, cancelSending;
    std::string counter, printerName, statusLine;
    std::vector<int> progress;
    bool timerRunning = false;
    int busyRuns = 0;
    bool ctrl = false;
    std::optional<std::string> file;
    int fileDialogs = 0;
    std::vector<std::string> versionsOffered;
    std::optional<std::string> version;  // the version dialog's answer
    bool profileListMade = true;
    std::vector<std::string> profileLines, profileLinesShown;  // shown: at its first repaint
    int profileListRuns = 0;
    std::deque<std::optional<AddressAnswer>> addressAnswers;
    int addressDialogs = 0;
    std::optional<std::string> communityAnswer;
    std::string communityShown;
    int abouts = 0;
    std::string aboutPackage;
    std::string information;
    int closes = 0;
};

class FakeStartupView : public FakeDialogs<StartupView> {
  public:
    std::optional<int> choiceDialog() override {
        ++choices;
        return choice;
    }
    void runMainWindow(const StartOptions& options) override {
        ++mainWindows;
        shownOptions = options;
    }
    std::optional<int> choice = 0;
    int choices = 0;
    int mainWindows = 0;
    StartOptions shownOptions;
};

}  // namespace upkeep::app::test
