#include "cli/Downloads.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>

namespace upkeep::cli {

void DownloadSink::setFileText(const std::string& fileName) {
    std::lock_guard lock(mutex_);
    file_ = fileName;
}

void DownloadSink::advanceStep() {
    std::lock_guard lock(mutex_);
    ++step_;
}

void DownloadSink::showFailure(int stringId, int code) {
    std::lock_guard lock(mutex_);
    failure_ = message(stringId);
    if (code != 0)
        failure_ += " (" + std::to_string(code) + ")";
}

void DownloadSink::finished(Operation outcome, bool canceled) {
    std::lock_guard lock(mutex_);
    outcome_ = outcome;
    canceled_ = canceled;
}

std::string DownloadSink::label() {
    std::lock_guard lock(mutex_);
    if (total_ > 1)
        return std::to_string(step_) + "/" + std::to_string(total_) + " " + file_;
    return file_;
}

std::string DownloadSink::failure() {
    std::lock_guard lock(mutex_);
    return failure_;
}

Operation DownloadSink::outcome() {
    std::lock_guard lock(mutex_);
    return outcome_;
}

bool DownloadSink::canceled() {
    std::lock_guard lock(mutex_);
    return canceled_;
}

bool confirm(const Options& options, const std::vector<std::string>& lines) {
    if (options.yes || !::isatty(STDIN_FILENO))
        return true;
    for (const std::string& line : lines)
        std::fprintf(stderr, "%s\n\n", line.c_str());
    std::fprintf(stderr, "[y/N] ");
    std::fflush(stderr);
    std::string answer;
    std::getline(std::cin, answer);
    return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
}

int unusableMessage(PrinterState effective) {
    switch (effective) {
        case PrinterState::UpgradeAvailable:
        case PrinterState::UpToDate:
            return 0;
        case PrinterState::NotAnalysed:
            return 262;
        case PrinterState::NotReachable:
            return 259;
        case PrinterState::UnsupportedConnection:
            return 260;
        default:
            return 261;
    }
}

void recordHistory(const DownloadReport& report, const std::string& verification) {
    std::vector<history::Record> records = report.records;
    for (history::Record& r : records)
        r.verification = verification;
    std::string problem;
    if (!history::append(records, problem))
        std::fprintf(stderr, "upkeepctl: warning: %s\n", problem.c_str());
}

}  // namespace upkeep::cli
