#include "checkfeed.h"

#include "trackingsnapshot.h"

#include <chrono>

void CheckFeed::datagramRead(std::string_view datagram) {
    const auto now = SkywandCheck::Clock::now();
    std::lock_guard<std::mutex> lock(mutex);
    if (check)
        check->datagramRead(datagram, now);
}

void CheckFeed::frameUnparsed(std::string_view datagram) {
    std::lock_guard<std::mutex> lock(mutex);
    if (check)
        check->frameUnparsed(datagram);
}

void CheckFeed::framePublished(const Ombrix& client,
                               const std::vector<ombrix_skywand_type>& skywands) {
    const auto now = SkywandCheck::Clock::now();
    const int carried = client.get_num_skywand_carried();
    std::lock_guard<std::mutex> lock(mutex);
    if (check) {
        // A device missing from the frame is fed its untracked record, as the display shows it.
        const bool inFrame = checkIndex >= 0 && size_t(checkIndex) < skywands.size();
        SkywandCheck::Frame frame;
        frame.record = inFrame ? skywands[size_t(checkIndex)]
                               : TrackingSnapshot::untrackedSkywand(checkIndex);
        frame.carried = inFrame && checkIndex < carried;
        frame.timestamp = client.get_timestamp();
        check->addFrame(frame, now);
    }
    if (finder) {
        finder->addFrame(skywands, carried);
        ++findFrames;
    }
}

void CheckFeed::receiverStarted(int port) {
    std::lock_guard<std::mutex> lock(mutex);
    receiverPort = port;
    if (check)
        check->stop("the data port changed", SkywandCheck::Clock::now());
}

int CheckFeed::dataPort() const {
    std::lock_guard<std::mutex> lock(mutex);
    return receiverPort;
}

void CheckFeed::startCheck(int index, const SkywandCheck::Settings& settings) {
    SkywandCheck fresh(settings, SkywandCheck::Clock::now(), std::chrono::system_clock::now());
    std::lock_guard<std::mutex> lock(mutex);
    check.emplace(std::move(fresh));
    checkIndex = index;
}

void CheckFeed::finishCheck() {
    std::lock_guard<std::mutex> lock(mutex);
    if (check)
        check->finish(SkywandCheck::Clock::now());
}

void CheckFeed::stopCheck() {
    std::lock_guard<std::mutex> lock(mutex);
    check.reset();
    checkIndex = -1;
}

std::optional<CheckReport> CheckFeed::checkReport() {
    const auto now = SkywandCheck::Clock::now();
    std::lock_guard<std::mutex> lock(mutex);
    if (!check)
        return std::nullopt;
    check->tick(now);
    return check->report(now);
}

int CheckFeed::checkedDevice() const {
    std::lock_guard<std::mutex> lock(mutex);
    return checkIndex;
}

void CheckFeed::startFind() {
    std::lock_guard<std::mutex> lock(mutex);
    finder.emplace();
    findFrames = 0;
}

void CheckFeed::stopFind() {
    std::lock_guard<std::mutex> lock(mutex);
    finder.reset();
}

std::optional<int> CheckFeed::found() const {
    std::lock_guard<std::mutex> lock(mutex);
    return finder ? finder->found() : std::nullopt;
}

long CheckFeed::framesSinceFindStarted() const {
    std::lock_guard<std::mutex> lock(mutex);
    return findFrames;
}
