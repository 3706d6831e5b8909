#include <gtest/gtest.h>

#include <condition_variable>
#include <thread>

#include "device/CorvinaCardSerialManager.h"
#include "tests/device/MemoryLinks.h"

namespace {

// Blocks every write until released; counts the links still alive.
class LatchedLink : public Link {
public:
    explicit LatchedLink(std::atomic<int>& alive) : _alive(alive) { ++_alive; }
    ~LatchedLink() override { --_alive; }
    bool writeByte(std::uint8_t, const std::atomic<bool>*) override
    {
        std::unique_lock<std::mutex> lock(mutex);
        entered = true;
        changed.notify_all();
        changed.wait(lock, [this] { return released; });
        return true;
    }
    std::string describe() const override { return "latched"; }
    void waitEntered()
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [this] { return entered; });
    }
    void release()
    {
        std::lock_guard<std::mutex> lock(mutex);
        released = true;
        changed.notify_all();
    }

private:
    std::atomic<int>& _alive;
    std::mutex mutex;
    std::condition_variable changed;
    bool entered = false, released = false;
};

} // namespace

TEST(ManagerConcurrency, ABlockedWriteHoldsUpNothingAndOutlivesTheClose)
{
    CorvinaCardSerialManager manager;
    std::atomic<int> alive{0};
    LatchedLink* latched = nullptr;
    manager.setPortEnumerator([] { return std::optional<std::vector<PortInfo>>(std::vector<PortInfo>{}); });
    manager.setLinkOpenerForTests([&](const CorvinaCardSerialData&, CorvinaAppsError*) {
        auto link = std::make_unique<LatchedLink>(alive);
        latched = link.get();
        return link;
    });
    ASSERT_TRUE(manager.scanPorts({}));
    ASSERT_TRUE(manager.openLink(nullptr));

    bool written = false;
    std::thread writer([&] { written = manager.writeByte('A', nullptr); });
    latched->waitEntered();
    // The scene keeps reading and rescanning; the user closes the link.
    EXPECT_TRUE(manager.scanPorts({}));
    EXPECT_EQ(manager.getDevices().size(), 2u) << "the Wi-Fi module and the simulator";
    EXPECT_TRUE(manager.closeLink());
    EXPECT_FALSE(manager.isLinkOpen());
    EXPECT_EQ(alive, 1) << "closed under a write in progress";
    latched->release();
    writer.join();
    EXPECT_TRUE(written);
    EXPECT_EQ(alive, 0);
}

TEST(ManagerConcurrency, ScansActivationsWritesAndReadsOverlap)
{
    CorvinaCardSerialManager manager;
    std::atomic<int> scanCount{0};
    manager.setPortEnumerator([&]() -> std::optional<std::vector<PortInfo>> {
        const int n = scanCount++;
        std::vector<PortInfo> ports{{"/dev/ttyUSB0", "A"}};
        if (n % 2)
            ports.push_back({"/dev/ttyUSB1", "B"});
        if (n % 7 == 3)
            return std::nullopt;
        return ports;
    });
    manager.setLinkOpenerForTests([](const CorvinaCardSerialData&, CorvinaAppsError*) {
        return std::make_unique<devicetest::MemoryLink>();
    });

    constexpr int kRounds = 300;
    std::atomic<bool> wrongList{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < kRounds; ++i) {
                manager.scanPorts({});
                manager.refreshQuietly();
            }
        });
    threads.emplace_back([&] {
        for (int i = 0; i < kRounds; ++i) {
            manager.setSelectedIndex(i % 4 - 1);
            manager.activateSelected({});
            manager.setState(i % 2 ? Connecting : Idle);
        }
    });
    threads.emplace_back([&] {
        for (int i = 0; i < kRounds; ++i) {
            if (manager.openLink(nullptr))
                manager.writeByte('A', nullptr);
            manager.closeLink();
        }
    });
    threads.emplace_back([&] {
        for (int i = 0; i < kRounds * 4; ++i) {
            const std::vector<CorvinaCardSerialData> devices = manager.getDevices();
            int active = 0;
            for (const CorvinaCardSerialData& device : devices)
                active += device.active;
            if (active > 1 || (!devices.empty() && devices.back().linkKind != Simulator))
                wrongList = true;
            manager.getSelectedDevice();
            manager.getState();
        }
    });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_FALSE(wrongList);
    EXPECT_FALSE(manager.isScanning());
}
