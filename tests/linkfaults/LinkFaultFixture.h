#pragma once
// The editor and its board link under faults: a board that is unplugged in
// the middle of a send, an editor left while its workers run, a Wi-Fi send
// the system refuses. The board is a pty; Wi-Fi datagrams go through a
// sendto that records every destination and only ever lets loopback out.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "cards/ProgramGenerator.h"
#include "device/LoopbackModule.h"
#include "device/PtyBoard.h"
#include "device/SerialLink.h"
#include "device/UdpLink.h"
#include "field/FieldFixture.h"
#include "support/ProofRuns.h"

namespace {

using SteadyClock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A gate on the worker's pacing: time moves only when the typing sleeps, as
// with the recording clock, and at the armed pause the worker waits until
// the test lets it go; after that every pause waits until the test has
// pulled the plug. A worker never waits longer than the watchdog, so a
// main thread that blocks on it is seen as slow rather than hanging.
class CutClock : public PacingClock {
public:
    static constexpr auto kWatchdog = std::chrono::seconds(3);

    SteadyClock::time_point now() override {
        std::lock_guard<std::mutex> lock(mutex);
        return current;
    }
    void sleepUntil(SteadyClock::time_point deadline) override {
        std::unique_lock<std::mutex> lock(mutex);
        ++sleeps;
        if (cutAt > 0 && sleeps == cutAt && !abandoned) {
            parked = true;
            changed.notify_all();
            if (!changed.wait_for(lock, kWatchdog, [this] { return released; })) abandoned = watchdogFired = true;
        } else if (cutAt > 0 && sleeps > cutAt && !abandoned) {
            if (!changed.wait_for(lock, kWatchdog, [this] { return unplugged; })) abandoned = watchdogFired = true;
        }
        if (deadline > current) current = deadline;
    }
    // The next transfer waits at its `cut`-th pause; 0 lets it run through.
    void arm(int cut) {
        std::lock_guard<std::mutex> lock(mutex);
        cutAt = cut;
        sleeps = 0;
        parked = released = unplugged = abandoned = false;
    }
    bool waitParked() {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(5), [this] { return parked; });
    }
    void release() {
        std::lock_guard<std::mutex> lock(mutex);
        released = true;
        changed.notify_all();
    }
    void markUnplugged() {
        std::lock_guard<std::mutex> lock(mutex);
        unplugged = true;
        changed.notify_all();
    }
    bool watchdogHasFired() {
        std::lock_guard<std::mutex> lock(mutex);
        return watchdogFired;
    }

private:
    std::mutex mutex;
    std::condition_variable changed;
    SteadyClock::time_point current = SteadyClock::time_point() + std::chrono::hours(1);
    int cutAt = 0;
    int sleeps = 0;
    bool parked = false, released = false, unplugged = false, abandoned = false, watchdogFired = false;
};

// A node that says when it is freed: put into a scene, it tells when the
// scene itself has gone.
class Probe : public engine::Node {
public:
    static Probe* create(std::shared_ptr<std::atomic<bool>> freed) {
        return engine::initAndAutorelease(new Probe(std::move(freed)));
    }
    ~Probe() override { freed->store(true); }

private:
    explicit Probe(std::shared_ptr<std::atomic<bool>> flag) : freed(std::move(flag)) {}
    std::shared_ptr<std::atomic<bool>> freed;
};

// Threads of this process: a worker that never ends stays counted.
inline int threadCount() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("Threads:", 0) == 0) return std::stoi(line.substr(8));
    return -1;
}

// Everything the board has been sent so far: reads until nothing more
// arrives for `quiet`.
inline std::string drain(devicetest::PtyBoard& board, milliseconds quiet = milliseconds(50)) {
    std::string got;
    for (;;) {
        pollfd p{board.master, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(quiet.count())) <= 0 || !(p.revents & POLLIN)) break;
        char buffer[256];
        const ssize_t n = ::read(board.master, buffer, sizeof buffer);
        if (n <= 0) break;
        got.append(buffer, static_cast<size_t>(n));
    }
    return got;
}

using devicetest::LoopbackModule;

// Where one datagram was addressed.
struct Destination {
    int family = 0;
    std::string address;
    int port = 0;
};

class LinkFaultTest : public FieldSceneTest {
protected:
    void SetUp() override {
        FieldSceneTest::SetUp();
        // Every datagram of these tests is looked at: recorded, and sent on
        // only when it is addressed to this machine.
        UdpLink::setSendToForTests([this](SocketHandle fd, const void* data, size_t size, int flags, const sockaddr* to,
                                          socklen_t toSize) -> ssize_t {
            Destination d;
            if (to && toSize >= static_cast<socklen_t>(sizeof(sockaddr_in)) && to->sa_family == AF_INET) {
                const auto* in = reinterpret_cast<const sockaddr_in*>(to);
                char text[INET_ADDRSTRLEN] = {};
                inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
                d = {AF_INET, text, ntohs(in->sin_port)};
            } else if (to) {
                d.family = to->sa_family;
            }
            int refusal = 0;
            {
                std::lock_guard<std::mutex> lock(seamMutex);
                destinations.push_back(d);
                const int number = static_cast<int>(destinations.size());
                if (refuseWith != 0 && number >= refuseFrom) refusal = refuseWith;
            }
            if (d.family != AF_INET || d.address != "127.0.0.1") refusal = EHOSTUNREACH;
            if (refusal != 0) {
                errno = refusal;
                return -1;
            }
            return ::sendto(fd, data, size, flags, to, toSize);
        });
        // A board that comes back under the name it had is opened through
        // that name onto whichever pty plays it now.
        SerialLink::setOpenForTests([this](const char* path, int flags) {
            std::string target = path;
            {
                std::lock_guard<std::mutex> lock(seamMutex);
                if (target == kStableName) target = stableTarget;
            }
            return ::open(target.c_str(), flags);
        });
        finishWorkers();
        field->schedule([this](float) { ++sceneFrames; }, "countFrames");
        field->setPacingClock(&clock);
        baselineThreads = threadCount();
    }
    void TearDown() override {
        // No new search starts while the last ones are waited for, and a
        // test that stopped early leaves no worker waiting at the gate.
        if (field) field->setHotPlugInterval(0);
        clock.release();
        clock.markUnplugged();
        finishWorkers();
        EXPECT_EQ(CorvinaCardSerialManager::getInstance()->getUdpSettings().host, "127.0.0.1");
        {
            std::lock_guard<std::mutex> lock(seamMutex);
            for (const Destination& d : destinations) {
                EXPECT_EQ(d.family, AF_INET);
                EXPECT_EQ(d.address, "127.0.0.1") << "a datagram addressed away from this machine";
            }
        }
        FieldSceneTest::TearDown();
        UdpLink::setSendToForTests({});
        SerialLink::setOpenForTests({});
    }

    // The board plugged in: listed by the system under `name`; the hot-plug
    // check is left to find it.
    void plugIn(devicetest::PtyBoard& board, const std::string& name) {
        {
            std::lock_guard<std::mutex> lock(seamMutex);
            stableTarget = board.slavePath;
        }
        // One adapter, whatever name it comes back under.
        setPorts({PortInfo(name, "Board", PortKind::BoardAdapter, PortIdentity{"0403", "6001", "A10K", "00"})});
    }
    void refuseDatagrams(int error, int fromNumber) {
        std::lock_guard<std::mutex> lock(seamMutex);
        refuseWith = error;
        refuseFrom = fromNumber;
    }
    std::vector<Destination> sentTo() {
        std::lock_guard<std::mutex> lock(seamMutex);
        return destinations;
    }

    // One frame, unseen, timed: the main loop must never wait for a worker.
    void timedStep() {
        const auto began = SteadyClock::now();
        if (field) field->setVisible(false);
        step(1);
        if (field) field->setVisible(true);
        longestFrame = std::max(longestFrame, SteadyClock::now() - began);
        ++framesStepped;
    }
    // Steps until `done` or about five seconds of frames.
    template <typename Done>
    bool stepUntil(Done done) {
        for (int i = 0; i < 3000; ++i) {
            if (done()) return true;
            timedStep();
            std::this_thread::sleep_for(milliseconds(1));
        }
        return done();
    }
    bool threadsSettle() {
        for (int i = 0; i < 2000 && threadCount() > baselineThreads; ++i) std::this_thread::sleep_for(milliseconds(1));
        return threadCount() <= baselineThreads;
    }

    // What a board that never answers receives; `listed`: a link it could
    // answer over, so LIST is typed.
    std::string expectedBytes(bool listed = true) const {
        ByteCollector bytes;
        bytes.silentBoard = listed;
        transferProgram(field->takeSnapshot(), DIALECT_JAM, bytes);
        return bytes.bytes;
    }
    // The pauses a whole transfer of the field takes.
    int pauseCount() const {
        ByteCollector bytes;
        bytes.silentBoard = true;
        transferProgram(field->takeSnapshot(), DIALECT_JAM, bytes);
        int pauses = 0;
        for (int delay : bytes.delays) pauses += delay > 0;
        return pauses;
    }
    // A few rows of cards, typed in a hundred and more bytes.
    void loadProgram() {
        field->loadDocument({onRow(CARD_SET_BASIC, 0, 0), onRow(CARD_SET_BASIC, 1, 1),
                             onRow(CARD_SET_FULL, waitAnyCard(), 2, "1.5"), onRow(CARD_SET_BASIC, 2, 3),
                             onRow(CARD_SET_BASIC, 1, 4)});
    }
    void play() { tap(centreOf(named("play"))); }
    // A tap on the finished overlay closes it.
    void closeOverlay() { tap(Vec2(600, 400)); }
    void rescan() {
        field->startScanThread();
        finishWorkers();
    }
    std::string failedMessage() const { return "しっぱい: " + connectionFailedError().message; }
    std::string cableMessage() const { return "しっぱい: " + cableCameOutError().message; }
    std::string wifiMessage() const { return "しっぱい: " + wifiUnreachableError().message; }

    static constexpr const char* kStableName = "/dev/ttyACM0";
    CutClock clock;
    std::mutex seamMutex;  // the sendto and open seams run on workers
    std::vector<Destination> destinations;
    int refuseWith = 0, refuseFrom = 1;
    std::string stableTarget;
    int sceneFrames = 0;
    int framesStepped = 0;
    SteadyClock::duration longestFrame{};
    int baselineThreads = 0;
};

} // namespace
