#pragma once
// Why the board does not answer, on Linux: one line a check, what was
// found and, when something is wrong, the next step as a command to copy.
// Everything is read under a root folder (the device tree, /dev, /proc,
// /etc/group, the udev rules), so tests give fake systems; no port is
// opened here, and nothing goes out on the network.
#include <optional>
#include <string>
#include <vector>

#include "device/CorvinaAppsError.h"
#include "device/UdpLink.h"

enum class DoctorMark { Ok, Advice, Problem };

struct DoctorLine {
    DoctorMark mark = DoctorMark::Ok;
    std::string japanese, english;  // what was found, and what to do; the Japanese in kana
    std::string command;            // the next step, to copy; empty when there is none
};

// The user and the machine as the doctor sees them.
struct DoctorSystem {
    std::string root = "/";
    unsigned uid = 0;
    std::string user;              // the login name, as the group file lists members
    std::vector<unsigned> groups;  // the groups this session has
    int ownPid = 0;                // this program: the port it holds itself is no other's
    std::vector<std::string> ipv4; // this computer's addresses
    std::string moduleHost = UdpSettings{}.host;  // the Wi-Fi module, on a /24 network
    // This process, under the system root the port listing reads.
    static DoctorSystem current();
};

// Every check that needs no board: the serial devices as the editor ranks
// them, whether the user may open each, programs holding them, brltty,
// ModemManager, and the Wi-Fi module's network.
std::vector<DoctorLine> examineSystem(const DoctorSystem& system);

// The last check, on the port chosen: what the board answered to ?VER()
// (its version), or why nothing did. `port` empty: none was chosen, in the
// editor's list (`inEditor`) or with --port.
DoctorLine boardAnswerLine(const std::string& port, const std::optional<std::string>& version,
                           const CorvinaAppsError& openError, bool inEditor = false);

// One line for a terminal: the mark, the finding, the command after it.
std::string doctorLineText(const DoctorLine& line, bool japanese);
