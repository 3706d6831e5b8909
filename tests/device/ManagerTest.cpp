#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <cerrno>

#include "device/CorvinaCardSerialManager.h"
#include "device/SerialLink.h"
#include "support/FakeSystem.h"
#include "tests/device/PtyBoard.h"
#include "ui/Localization.h"

namespace {

class ManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Localization::getInstance()->configure(engine::LanguageType::ENGLISH, {});
        CorvinaCardSerialManager::resetForTests();
        manager = CorvinaCardSerialManager::getInstance();
        // Nothing leaves the machine and no real port is listed.
        manager->setUdpSettings({"127.0.0.1", 9, 0});
        manager->setPortEnumerator([this]() -> std::optional<std::vector<PortInfo>> {
            if (enumerationFails)
                return std::nullopt;
            return ports;
        });
    }
    void TearDown() override
    {
        SerialLink::setOpenForTests({});
        CorvinaCardSerialManager::resetForTests();
    }
    std::vector<std::string> names() const
    {
        std::vector<std::string> result;
        for (const CorvinaCardSerialData& device : manager->getDevices())
            result.push_back(device.portName + (device.active ? "*" : ""));
        return result;
    }
    bool scan()
    {
        int calls = 0;
        bool reported = false;
        const bool result = manager->scanPorts([&](bool ok) {
            ++calls;
            reported = ok;
        });
        EXPECT_EQ(calls, 1);
        EXPECT_EQ(reported, result);
        return result;
    }

    CorvinaCardSerialManager* manager = nullptr;
    std::vector<PortInfo> ports;
    bool enumerationFails = false;
};

using Names = std::vector<std::string>;

// The simulated board's entry, last in every list.
std::string sim(bool active = false)
{
    return CorvinaCardSerialManager::simulatorName() + (active ? "*" : "");
}

} // namespace

TEST_F(ManagerTest, AScanListsTheSerialPortsThenTheWifiModuleThenTheSimulator)
{
    ports = {{"/dev/ttyUSB0", "FT231X"}, {"", "nameless"}, {"/dev/ttyACM0", ""}, {"/dev/ttyACM1", "Board"}};
    ASSERT_TRUE(scan());
    EXPECT_EQ(names(), (Names{"/dev/ttyUSB0*", "/dev/ttyACM1", "MixJuice", sim()}));
    EXPECT_EQ(manager->getDevices()[1].linkKind, Serial);
    EXPECT_EQ(manager->getDevices()[1].description, "Board");
    EXPECT_EQ(manager->getDevices()[2].description, "UDP");
    EXPECT_EQ(manager->getDevices()[2].linkKind, Udp);
    EXPECT_EQ(manager->getDevices()[3].description, "SIM");
    EXPECT_EQ(manager->getDevices()[3].linkKind, Simulator);
    EXPECT_EQ(sim(), "Simulator");

    // A port named on purpose comes first, once, listed or not, and being
    // first it is the one in use until the user picks another.
    manager->setExplicitPort("/dev/ttyS1");
    ASSERT_TRUE(scan());
    EXPECT_EQ(names(), (Names{"/dev/ttyS1*", "/dev/ttyUSB0", "/dev/ttyACM1", "MixJuice", sim()}));
    manager->setExplicitPort("/dev/ttyACM1");
    ASSERT_TRUE(scan());
    EXPECT_EQ(names(), (Names{"/dev/ttyACM1*", "/dev/ttyUSB0", "MixJuice", sim()}));

    // Without a board, play goes to the simulator, never into the void.
    manager->setExplicitPort("");
    ports.clear();
    ASSERT_TRUE(scan());
    EXPECT_EQ(names(), (Names{"MixJuice", sim(true)}));
}

TEST_F(ManagerTest, ScanningShowsSearchingAndRefusesASecondScan)
{
    int searchingSeen = -1;
    bool nestedScan = true;
    manager->setPortEnumerator([&]() -> std::optional<std::vector<PortInfo>> {
        searchingSeen = manager->getState();
        EXPECT_TRUE(manager->isScanning());
        nestedScan = manager->scanPorts([](bool) { ADD_FAILURE() << "a refused scan reports nothing"; });
        return std::vector<PortInfo>{};
    });
    ASSERT_TRUE(scan());
    EXPECT_EQ(searchingSeen, Searching);
    EXPECT_FALSE(nestedScan);
    EXPECT_EQ(manager->getState(), Idle);
    EXPECT_FALSE(manager->isScanning());
}

TEST_F(ManagerTest, TheBoardIsChosenByRankAndAPickIsKeptAcrossNamesAndRuns)
{
    testsupport::FakeSystem system;
    manager->setPortEnumerator([&system] { return enumerateSerialPorts(system.root.string()); });
    system.addOnBoardPort("ttyS0");
    system.plugUsb("ttyUSB0", "1-2", "0403", "6001", "A10K", "/dev/null", "FT232R USB UART");
    ASSERT_TRUE(scan());
    const std::string board = system.node("ttyUSB0");
    EXPECT_EQ(names(), (Names{board + "*", "MixJuice", sim()}));
    EXPECT_EQ(manager->getDevices()[0].description, "FT232R USB UART");

    // An Arduino on an earlier socket and a paired Bluetooth port come
    // later: the board adapter ranks first and stays in use.
    system.plugUsb("ttyACM0", "1-1", "2341", "0043", "");
    system.plugBluetooth("rfcomm0");
    EXPECT_TRUE(manager->refreshQuietly());
    EXPECT_EQ(names(), (Names{board + "*", system.node("ttyACM0"), system.node("rfcomm0"), "MixJuice", sim()}));

    // The board picked, pulled out: it stays the choice, shown missing,
    // and comes back under another name on another socket.
    const std::string choices = (system.root / "board.plist").string();
    manager->setChoiceFile(choices);
    ASSERT_TRUE(manager->pick(manager->getDevices()[0].key()));
    system.unplug("ttyUSB0");
    EXPECT_TRUE(manager->refreshQuietly());
    EXPECT_EQ(names(), (Names{system.node("ttyACM0"), system.node("rfcomm0"), board + "*", "MixJuice", sim()}));
    EXPECT_TRUE(manager->getSelectedDevice()->missing);
    system.plugUsb("ttyUSB1", "1-4", "0403", "6001", "A10K");
    EXPECT_TRUE(manager->refreshQuietly());
    EXPECT_EQ(manager->getSelectedDevice()->portName, system.node("ttyUSB1"));
    EXPECT_FALSE(manager->getSelectedDevice()->missing);

    // A pick of the lower ranked device holds in the next run.
    manager->setSelectedIndex(1);
    ASSERT_EQ(manager->getSelectedDevice()->portName, system.node("ttyACM0"));
    CorvinaCardSerialManager::resetForTests();
    manager = CorvinaCardSerialManager::getInstance();
    manager->setPortEnumerator([&system] { return enumerateSerialPorts(system.root.string()); });
    manager->setChoiceFile(choices);
    ASSERT_TRUE(scan());
    EXPECT_EQ(manager->getSelectedDevice()->portName, system.node("ttyACM0"));

    // Nobody picked: Bluetooth alone is never chosen; the simulator is.
    CorvinaCardSerialManager::resetForTests();
    manager = CorvinaCardSerialManager::getInstance();
    manager->setPortEnumerator([&system] { return enumerateSerialPorts(system.root.string()); });
    system.unplug("ttyUSB1");
    system.unplug("ttyACM0");
    ASSERT_TRUE(scan());
    EXPECT_EQ(names(), (Names{system.node("rfcomm0"), "MixJuice", sim(true)}));
}

TEST_F(ManagerTest, ABoardPluggedInLaterTakesOverFromTheSimulatorNobodyChose)
{
    ASSERT_TRUE(scan());
    EXPECT_EQ(names(), (Names{"MixJuice", sim(true)}));
    ports = {{"/dev/ttyACM0", "Board"}};
    EXPECT_TRUE(manager->refreshQuietly());
    EXPECT_EQ(names(), (Names{"/dev/ttyACM0*", "MixJuice", sim()}));
    // Unplugged again, the simulator takes over once more.
    ports.clear();
    EXPECT_TRUE(manager->refreshQuietly());
    EXPECT_EQ(names(), (Names{"MixJuice", sim(true)}));
    // Once the user picks the simulator, or the Wi-Fi entry, it stays.
    for (int picked : {1, 0}) {
        manager->setSelectedIndex(picked);
        manager->activateSelected({});
        ports = {{"/dev/ttyUSB0", "Another"}};
        ASSERT_TRUE(scan());
        EXPECT_EQ(names(), picked == 1 ? (Names{"/dev/ttyUSB0", "MixJuice", sim(true)})
                                       : (Names{"/dev/ttyUSB0", "MixJuice*", sim()}));
        ports.clear();
        ASSERT_TRUE(scan());
    }
}

TEST_F(ManagerTest, AQuietRefreshRebuildsOnlyWhenNamesChangeAndKeepsTheState)
{
    ports = {{"/dev/ttyUSB0", "A"}, {"/dev/ttyUSB1", "B"}};
    ASSERT_TRUE(scan());
    manager->setSelectedIndex(1);
    manager->activateSelected({});
    manager->setState(Connecting);

    ports[0].description = "renamed";
    EXPECT_FALSE(manager->refreshQuietly());
    EXPECT_EQ(manager->getDevices()[0].description, "A");

    ports.erase(ports.begin());
    EXPECT_TRUE(manager->refreshQuietly());
    EXPECT_EQ(names(), (Names{"/dev/ttyUSB1*", "MixJuice", sim()}));
    EXPECT_EQ(manager->getState(), Connecting);

    enumerationFails = true;
    EXPECT_FALSE(manager->refreshQuietly());
    EXPECT_EQ(names().size(), 3u);
}

TEST_F(ManagerTest, StartReportsOnlyOnce)
{
    int calls = 0;
    manager->setState(Connecting);
    EXPECT_TRUE(manager->start([&](bool ok) { calls += ok; }));
    EXPECT_EQ(manager->getState(), Idle);
    manager->setState(Connecting);
    EXPECT_TRUE(manager->start([&](bool) { ++calls; }));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(manager->getState(), Connecting);
}

TEST_F(ManagerTest, OpenFailuresSayWhatToDo)
{
    CorvinaAppsError error;
    EXPECT_FALSE(manager->openLink(&error));  // nothing listed yet
    EXPECT_EQ(error.message, "Please connect again.");

    manager->setExplicitPort("/dev/ttyUSB7");
    ASSERT_TRUE(scan());
    SerialLink::setOpenForTests([](const char*, int) {
        errno = EACCES;
        return -1;
    });
    EXPECT_FALSE(manager->openLink(&error));
    EXPECT_EQ(error.title, "Failed");
    EXPECT_NE(error.message.find("/dev/ttyUSB7"), std::string::npos);
    EXPECT_NE(error.message.find("dialout"), std::string::npos);
    EXPECT_NE(error.message.find("sudo usermod -aG dialout $USER"), std::string::npos);
    EXPECT_TRUE(error.showAlert && error.openPanel);

    SerialLink::setOpenForTests([](const char*, int) {
        errno = ENOENT;
        return -1;
    });
    EXPECT_FALSE(manager->openLink(&error));
    EXPECT_EQ(error.message, boardNotPluggedError().message);
    EXPECT_FALSE(manager->lastOpenWasPortConflict());

    // Another program holds the Wi-Fi link's local port.
    const int holder = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    socklen_t size = sizeof address;
    ASSERT_EQ(::bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::getsockname(holder, reinterpret_cast<sockaddr*>(&address), &size);
    const int taken = ntohs(address.sin_port);
    manager->setUdpSettings({"127.0.0.1", 9, taken});
    manager->setSelectedIndex(1);
    Localization::getInstance()->configure(engine::LanguageType::JAPANESE, {});
    EXPECT_FALSE(manager->openLink(&error));
    EXPECT_TRUE(manager->lastOpenWasPortConflict());
    EXPECT_EQ(error.title, "ポート番号の競合");
    EXPECT_EQ(error.message, "使用するポート番号が競合しています。" + std::to_string(taken) +
                                 "番のポートを使用しているアプリケーションを終了し、CorvinaAppsを再起動してください。");
    EXPECT_TRUE(error.showAlert);
    ::close(holder);
    EXPECT_TRUE(manager->openLink(&error));
    EXPECT_FALSE(manager->lastOpenWasPortConflict());
}

TEST_F(ManagerTest, OnlyAnOpenLinkIsEverClosed)
{
    if (fcntl(0, F_GETFD) == -1) {
        ASSERT_EQ(::open("/dev/null", O_RDONLY), 0);  // give stdin something to lose
    }
    const int stdinFlags = fcntl(0, F_GETFD);

    EXPECT_TRUE(manager->closeLink());
    EXPECT_FALSE(manager->writeByte('A', nullptr));

    devicetest::PtyBoard board;
    manager->setExplicitPort(board.slavePath);
    ASSERT_TRUE(scan());
    ASSERT_TRUE(manager->openLink(nullptr));
    const int opened = devicetest::openDescriptorCount();
    ASSERT_TRUE(manager->openLink(nullptr));  // the first link is closed, not leaked
    EXPECT_EQ(devicetest::openDescriptorCount(), opened);
    ASSERT_TRUE(manager->writeByte('\r', nullptr));
    EXPECT_EQ(board.receive(1), "\r");

    bool reported = false;
    EXPECT_TRUE(manager->closeLink([&](bool ok) { reported = ok; }));
    EXPECT_TRUE(reported);
    EXPECT_FALSE(manager->isLinkOpen());
    EXPECT_FALSE(manager->writeByte('A', nullptr));
    EXPECT_TRUE(manager->closeLink());
    EXPECT_EQ(fcntl(0, F_GETFD), stdinFlags);
}

TEST_F(ManagerTest, OneWriterHoldsThePortAndAFailedReadLetsItGoAtOnce)
{
    // The board's port under a name that stays when it is plugged in again.
    const std::string name = ::testing::TempDir() + "corvina-board-" + std::to_string(::getpid());
    auto board = std::make_unique<devicetest::PtyBoard>();
    ::unlink(name.c_str());
    ASSERT_EQ(::symlink(board->slavePath.c_str(), name.c_str()), 0);
    const int before = devicetest::openDescriptorCount();
    manager->setExplicitPort(name);
    ASSERT_TRUE(scan());
    ASSERT_TRUE(manager->openLink(nullptr));

    // A second writer (another editor, corvina-cli) is told at once.
    CorvinaCardSerialManager other;
    other.setPortEnumerator([] { return std::optional<std::vector<PortInfo>>(std::vector<PortInfo>{}); });
    other.setExplicitPort(name);
    ASSERT_TRUE(other.scanPorts({}));
    CorvinaAppsError error;
    const auto asked = std::chrono::steady_clock::now();
    EXPECT_FALSE(other.openLink(&error));
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(1));
    EXPECT_EQ(error.message, boardBusyError().message);

    // Pulled out: the next read fails and the port is closed there and then.
    board->closeMaster();
    std::string printed;
    EXPECT_FALSE(manager->readAvailable(printed));
    EXPECT_FALSE(manager->isLinkOpen());
    EXPECT_EQ(devicetest::openDescriptorCount(), before - 1) << "the link's, as the board's own end went";

    // Plugged in again under the same name: it opens and takes the keys.
    board = std::make_unique<devicetest::PtyBoard>();
    ::unlink(name.c_str());
    ASSERT_EQ(::symlink(board->slavePath.c_str(), name.c_str()), 0);
    ASSERT_TRUE(manager->openLink(nullptr));
    ASSERT_TRUE(manager->writeByte('\r', nullptr));
    EXPECT_EQ(board->receive(1), "\r");
    manager->closeLink();
    ::unlink(name.c_str());
}

TEST_F(ManagerTest, ABoardThatTakesOverLetsTheOldPortGoAndABoardPulledOutStaysChosen)
{
    testsupport::FakeSystem system;
    devicetest::PtyBoard arduino, board, another;
    manager->setPortEnumerator([&system] { return enumerateSerialPorts(system.root.string()); });
    system.plugUsb("ttyACM0", "1-1", "2341", "0043", "", arduino.slavePath);
    ASSERT_TRUE(scan());
    ASSERT_TRUE(manager->openLink(nullptr));

    // A board adapter plugged in takes over, and the Arduino's port is let
    // go: pulling the Arduino out later changes nothing.
    system.plugUsb("ttyUSB0", "1-2", "0403", "6001", "A10K", board.slavePath);
    EXPECT_TRUE(manager->refreshQuietly());
    EXPECT_EQ(manager->getSelectedDevice()->portName, system.node("ttyUSB0"));
    EXPECT_FALSE(manager->isLinkOpen());
    ASSERT_TRUE(manager->openLink(nullptr));

    // The board in use pulled out: it stays chosen, missing, even before a
    // read notices; the Arduino listed all along does not take over.
    system.unplug("ttyUSB0");
    EXPECT_TRUE(manager->refreshQuietly());
    EXPECT_EQ(manager->getSelectedDevice()->portName, system.node("ttyUSB0"));
    EXPECT_TRUE(manager->getSelectedDevice()->missing);
    // Another board plugged in since (a board swapped in) takes over.
    system.plugUsb("ttyUSB1", "1-3", "1a86", "7523", "", another.slavePath);
    EXPECT_TRUE(manager->refreshQuietly());
    EXPECT_EQ(manager->getSelectedDevice()->portName, system.node("ttyUSB1"));
    EXPECT_FALSE(manager->getSelectedDevice()->missing);
}
