// The connection doctor over fake systems: each cause found, with the
// command that fixes it, and the board asked on the port named.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <sstream>

#include "cli/CliCommands.h"
#include "device/CorvinaCardSerialManager.h"
#include "device/Doctor.h"
#include "support/FakeSystem.h"
#include "support/ListingBoard.h"

namespace {

using testsupport::FakeSystem;

// What a shell prints for `command`.
std::string shell(const std::string& command) {
    std::string text;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buffer[512];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, p)) > 0;) text.append(buffer, n);
        ::pclose(p);
    }
    return text;
}

class DoctorTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The board's port: a device file of the group the fake system calls
        // dialout, which the pupil is not in.
        fake.writeFile("nodes/ttyUSB0", "");
        ::chmod((fake.root / "nodes/ttyUSB0").c_str(), 0660);
        fake.plugUsb("ttyUSB0", "1-1", "1a86", "7523", "", (fake.root / "nodes/ttyUSB0").string(), "USB Serial");
        fake.writeFile("etc/group", "root:x:0:\ndialout:x:" + std::to_string(::getgid()) + ":\n");
        system.root = fake.root.string();
        system.uid = ::getuid() + 1000;
        system.user = "pupil";
        system.groups = {::getgid() + 1000};
        system.ownPid = 1;
    }
    // The line whose English holds `text`; an empty line when none does.
    DoctorLine line(const std::string& text) {
        for (const DoctorLine& l : examineSystem(system))
            if (l.english.find(text) != std::string::npos) return l;
        ADD_FAILURE() << "no line says " << text;
        return {};
    }
    FakeSystem fake;
    DoctorSystem system;
};

} // namespace

TEST_F(DoctorTest, ThePortsGroupSaysWhoMayOpenItAndHowToJoin) {
    EXPECT_EQ(line("/dev/ttyUSB0: board adapter USB Serial (1a86:7523").mark, DoctorMark::Ok);
    DoctorLine access = line("group \"dialout\"");
    EXPECT_EQ(access.mark, DoctorMark::Problem);
    EXPECT_EQ(access.command, "sudo usermod -aG dialout pupil") << "the pupil, whoever pastes it";
    EXPECT_NE(access.english.find("log out and in again"), std::string::npos);
    // Added, but this session began before: logging in again is the step.
    fake.writeFile("etc/group", "dialout:x:" + std::to_string(::getgid()) + ":teacher,pupil\n");
    access = line("after this session began");
    EXPECT_EQ(access.mark, DoctorMark::Problem);
    EXPECT_TRUE(access.command.empty());
    system.groups.push_back(::getgid());
    EXPECT_EQ(line("You may open /dev/ttyUSB0").mark, DoctorMark::Ok);
}

TEST_F(DoctorTest, ProgramsThatTakeThePortAreNamedWithACommandThatLeavesTheOthersWorking) {
    // brltty's rules claim the board's adapter and a braille display alike,
    // and brltty holds the port; a terminal program has its lock file.
    const std::string rules =
        "ENV{PRODUCT}==\"1a86/7523/*\", ENV{BRLTTY_BRAILLE_DRIVER}=\"bm\", GOTO=\"brltty_usb_run\"\n"
        "ENV{PRODUCT}==\"403/6001/*\", ENV{BRLTTY_BRAILLE_DRIVER}=\"at\", GOTO=\"brltty_usb_run\"\n"
        "ENV{PRODUCT}==\"1c71/c005/*\", ENV{BRLTTY_BRAILLE_DRIVER}=\"hw\", GOTO=\"brltty_usb_run\"\n";
    fake.writeFile("usr/lib/udev/rules.d/85-brltty.rules", rules);
    fake.addProcess(812, "brltty", {"/dev/ttyUSB0"});
    fake.addProcess(1, "editor", {"/dev/ttyUSB0"});  // this program's own link is no other's
    fake.addProcess(900, "ModemManager");
    const DoctorLine brltty = line("brltty (for braille displays) is installed and holds /dev/ttyUSB0");
    EXPECT_EQ(brltty.mark, DoctorMark::Problem);
    EXPECT_NE(brltty.english.find("only for computers nobody uses with a braille display"), std::string::npos);
    // The command keeps the braille display's rule and drops the adapters'.
    const size_t pipe = brltty.command.find(" | sudo tee /etc/udev/rules.d/85-brltty.rules");
    ASSERT_NE(pipe, std::string::npos) << brltty.command;
    std::string sed = brltty.command.substr(0, pipe);
    sed.replace(sed.find("/usr/lib/udev"), 1, (fake.root / "").string());
    EXPECT_EQ(shell(sed), rules.substr(rules.rfind("ENV{PRODUCT}==\"1c71"))) << sed;
    EXPECT_EQ(line("held by another program (brltty, process 812)").command, "") << "a screen reader is never killed";

    // ModemManager: a rule that tells it to leave the adapters alone, which
    // the next report finds.
    const DoctorLine modem = line("ModemManager is running: it probes");
    EXPECT_EQ(modem.mark, DoctorMark::Advice);
    const size_t tee = modem.command.find(" | sudo tee ");
    ASSERT_NE(tee, std::string::npos);
    fake.writeFile("etc/udev/rules.d/99-corvina-boards.rules", shell(modem.command.substr(0, tee)));
    EXPECT_EQ(line("ModemManager is running and leaves").mark, DoctorMark::Ok);
    // Once the brltty command's rules are in place, brltty is fine too.
    fake.writeFile("etc/udev/rules.d/85-brltty.rules", rules.substr(rules.rfind("ENV{PRODUCT}==\"1c71")));
    fake.addProcess(813, "brltty");
    std::filesystem::remove_all(fake.root / "proc/812");
    EXPECT_EQ(line("brltty is installed but leaves").mark, DoctorMark::Ok);

    // A lock file names the program that holds the port.
    fake.addProcess(1234, "minicom");
    fake.writeFile("run/lock/LCK..ttyUSB0", "      1234\n");
    EXPECT_EQ(line("held by another program (minicom, process 1234)").command, "kill 1234");
    // The editor is closed, not killed.
    std::filesystem::remove(fake.root / "run/lock/LCK..ttyUSB0");
    fake.addProcess(1300, "corvina-apps", {"/dev/ttyUSB0"});
    EXPECT_EQ(line("Close the editor first").command, "");
}

TEST_F(DoctorTest, NoDeviceAtAllIsTheCableAndTheWiFiNetworkIsOnlyLookedAt) {
    fake.unplug("ttyUSB0");
    const DoctorLine none = line("No USB serial device is plugged in");
    EXPECT_EQ(none.mark, DoctorMark::Problem);
    EXPECT_NE(none.english.find("some cables only charge"), std::string::npos);
    // A module found on loopback, as the tests' own modules are.
    system.moduleHost = "127.0.0.1";
    system.ipv4 = {"127.0.1.1"};
    EXPECT_EQ(line("not on the Wi-Fi module's network (127.0.0.x)").mark, DoctorMark::Advice);
    system.ipv4 = {"127.0.1.1", "127.0.0.9"};
    EXPECT_EQ(line("on the Wi-Fi module's network (127.0.0.9)").mark, DoctorMark::Ok);
}

TEST(DoctorBoard, TheNamedPortIsAskedWhoItIsAndAnswersOrNot) {
    testsupport::ListingBoardModel model;
    model.version = "14328";
    testsupport::ListingPtyBoard board(model);
    ASSERT_FALSE(board.path.empty());
    FakeSystem empty;
    ::setenv("CORVINA_SYSTEM_ROOT", empty.root.c_str(), 1);
    auto doctor = [&](std::string& report) {
        CorvinaCardSerialManager::resetForTests();
        std::ostringstream out, err;
        const int status = runCli({"doctor", "--port", board.path}, out, err);
        report = out.str() + err.str();
        return status;
    };
    std::string report;
    EXPECT_EQ(doctor(report), kCliOk) << report;
    EXPECT_NE(report.find("answered (version 14328)"), std::string::npos) << report;
    EXPECT_NE(board.received().find("\x1b"), std::string::npos) << "the stop sequence first";

    board.with([](testsupport::ListingBoardModel& m) { m.silent = true; });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(doctor(report), kCliLink);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2500)) << "each check within 2 s";
    EXPECT_NE(report.find("answered like a board within a second"), std::string::npos) << report;
    ::unsetenv("CORVINA_SYSTEM_ROOT");
    CorvinaCardSerialManager::resetForTests();
}
