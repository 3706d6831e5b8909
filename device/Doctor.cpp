#include "device/Doctor.h"

#include <arpa/inet.h>
#include <grp.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "device/CorvinaCardSerialManager.h"
#include "device/PortScanner.h"

namespace fs = std::filesystem;

namespace {

DoctorLine ok(std::string ja, std::string en) { return {DoctorMark::Ok, std::move(ja), std::move(en), {}}; }
DoctorLine advice(std::string ja, std::string en, std::string command = {}) {
    return {DoctorMark::Advice, std::move(ja), std::move(en), std::move(command)};
}
DoctorLine problem(std::string ja, std::string en, std::string command = {}) {
    return {DoctorMark::Problem, std::move(ja), std::move(en), std::move(command)};
}

std::string wholeFile(const fs::path& file) {
    std::ifstream in(file);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The name a port goes by: "/dev/ttyUSB0" whatever root it was read under.
std::string shownName(const PortInfo& port) { return "/dev/" + fs::path(port.name).filename().string(); }

// --- programs, from /proc

struct Process {
    int pid = 0;
    std::string name;
    std::vector<std::string> files;  // what its open descriptors lead to
};

// `unreadable`: how many programs' descriptors could not be read (other
// users' programs, without root).
std::vector<Process> processes(const fs::path& proc, int& unreadable) {
    std::vector<Process> found;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(proc, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
        Process p;
        p.pid = std::stoi(name);
        p.name = firstLineOf(entry.path() / "comm");
        std::error_code fdError;
        for (const fs::directory_entry& fd : fs::directory_iterator(entry.path() / "fd", fdError)) {
            std::error_code linkError;
            const fs::path target = fs::read_symlink(fd.path(), linkError);
            if (!linkError) p.files.push_back(target.string());
        }
        if (fdError) ++unreadable;
        found.push_back(std::move(p));
    }
    return found;
}

const Process* running(const std::vector<Process>& all, const std::string& name) {
    for (const Process& p : all)
        if (p.name == name) return &p;
    return nullptr;
}

// The program holding `port` open, or named in its lock file; not this one.
std::optional<std::pair<int, std::string>> holderOf(const PortInfo& port, const std::vector<Process>& all,
                                                    const DoctorSystem& system) {
    const std::string shown = shownName(port);
    for (const Process& p : all) {
        if (p.pid == system.ownPid) continue;
        for (const std::string& file : p.files)
            if (file == shown || file == port.name) return std::make_pair(p.pid, p.name);
    }
    const std::string base = fs::path(port.name).filename().string();
    for (const char* folder : {"var/lock", "run/lock"}) {
        std::istringstream text(firstLineOf(fs::path(system.root) / folder / ("LCK.." + base)));
        int pid = 0;
        if (!(text >> pid) || pid <= 0 || pid == system.ownPid) continue;
        for (const Process& p : all)
            if (p.pid == pid) return std::make_pair(pid, p.name);
    }
    return std::nullopt;
}

// --- groups

struct Group {
    std::string name;
    std::vector<std::string> members;
};

std::map<unsigned, Group> groupsOf(const fs::path& file) {
    std::map<unsigned, Group> groups;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> fields;
        std::istringstream parts(line);
        for (std::string field; std::getline(parts, field, ':');) fields.push_back(field);
        if (fields.size() < 3 || fields[2].empty() || fields[2].find_first_not_of("0123456789") != std::string::npos)
            continue;
        Group g{fields[0], {}};
        if (fields.size() > 3) {
            std::istringstream members(fields[3]);
            for (std::string m; std::getline(members, m, ',');) g.members.push_back(m);
        }
        groups[static_cast<unsigned>(std::stoul(fields[2]))] = std::move(g);
    }
    return groups;
}

DoctorLine accessLine(const PortInfo& port, const DoctorSystem& system, const std::map<unsigned, Group>& groups) {
    const std::string shown = shownName(port);
    struct stat node {};
    if (::stat(port.name.c_str(), &node) != 0)
        return problem(shown + " が ありません。ボードを さしなおしてください。",
                       shown + " is listed but has no device file: unplug the board and plug it in again.");
    const bool inGroup = std::find(system.groups.begin(), system.groups.end(), node.st_gid) != system.groups.end();
    const bool allowed = system.uid == 0 || (node.st_uid == system.uid && (node.st_mode & 0600) == 0600) ||
                         (inGroup && (node.st_mode & 0060) == 0060) || (node.st_mode & 0006) == 0006;
    const auto group = groups.find(node.st_gid);
    const std::string groupName = group != groups.end() ? group->second.name : std::to_string(node.st_gid);
    if (allowed)
        return ok(shown + " を つかえます。", "You may open " + shown + ".");
    const bool listed = group != groups.end() && std::find(group->second.members.begin(), group->second.members.end(),
                                                           system.user) != group->second.members.end();
    if (listed)
        return problem("「" + groupName + "」グループに はいっていますが、ログインしなおすまで " + shown +
                           " を つかえません。ログアウトして、もういちど ログインしてください。",
                       "You were added to the group \"" + groupName + "\" after this session began: log out and in "
                       "again to open " + shown + ".");
    return problem(shown + " を つかうには「" + groupName +
                       "」グループに はいる ひつようが あります。したの コマンドの あと、ログアウトして もういちど "
                       "ログインしてください。",
                   "You may not open " + shown + ": it belongs to the group \"" + groupName +
                       "\". Add yourself with the command, then log out and in again.",
                   "sudo usermod -aG " + groupName + " " + (system.user.empty() ? "$USER" : system.user));
}

// --- the services that take serial ports

// A USB id as udev's PRODUCT writes it: without leading zeros.
std::string shortId(const std::string& id) { return id.substr(std::min(id.find_first_not_of('0'), id.size())); }

// Whether a udev rules text names one of the board adapters, in the forms
// rules use ("0403", "403/6001/...").
bool namesAdapter(const std::string& rules) {
    std::string lower = rules;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    for (const auto& [vendor, product] : boardAdapterIds()) {
        if (lower.find("\"" + shortId(vendor) + "/" + product + "/") != std::string::npos ||
            lower.find("\"" + vendor + "/" + product + "/") != std::string::npos ||
            (lower.find("\"" + vendor + "\"") != std::string::npos && lower.find("\"" + product + "\"") != std::string::npos))
            return true;
    }
    return false;
}

// The product patterns of the board adapters, as one extended expression.
std::string adapterPattern() {
    std::string pattern;
    for (const auto& [vendor, product] : boardAdapterIds()) {
        if (!pattern.empty()) pattern += "|";
        pattern += shortId(vendor) + "/" + product;
    }
    return pattern;
}

DoctorLine brlttyLine(const DoctorSystem& system, const std::vector<Process>& all, const std::vector<PortInfo>& ports) {
    const fs::path root(system.root);
    // Of brltty's rules files, the first (by name) that claims an adapter,
    // unless an override of it in /etc no longer does.
    std::vector<fs::path> files;
    for (const char* folder : {"usr/lib/udev/rules.d", "lib/udev/rules.d"}) {
        std::error_code ec;
        for (const fs::directory_entry& entry : fs::directory_iterator(root / folder, ec)) {
            const std::string name = entry.path().filename().string();
            if (name.find("brltty") != std::string::npos && entry.path().extension() == ".rules") files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    fs::path rules;
    for (const fs::path& file : files) {
        std::error_code ec;
        const fs::path local = root / "etc/udev/rules.d" / file.filename();
        if (fs::exists(local, ec) ? namesAdapter(wholeFile(local)) : namesAdapter(wholeFile(file))) {
            rules = file;
            break;
        }
    }
    std::error_code ec;
    const bool installed = !files.empty() || fs::exists(root / "usr/bin/brltty", ec) || fs::exists(root / "bin/brltty", ec);
    if (!installed) return ok("brltty（てんじ ディスプレイよう）は はいっていません。",
                              "brltty (for braille displays) is not installed.");
    const Process* service = running(all, "brltty");
    std::string holding;
    if (service)
        for (const PortInfo& port : ports)
            for (const std::string& file : service->files)
                if (file == shownName(port) || file == port.name) holding = shownName(port);
    const bool active = !rules.empty();
    if (!active && holding.empty())
        return ok("brltty は はいっていますが、ボードの USB アダプターには さわりません。",
                  "brltty is installed but leaves the boards' USB adapters alone.");
    const std::string state = !holding.empty() ? " and holds " + holding : service ? " and running" : "";
    const std::string stateJa = !holding.empty() ? "、" + holding + " を つかんでいます" : service ? "、うごいています" : "";
    // The system's own rules, less the lines for the board adapters, put
    // where they take precedence: braille displays keep working.
    // Holding a port with no rules file that claims adapters: nothing to
    // copy; the text says what is going on.
    std::string command;
    if (active) {
        const std::string source = "/" + fs::relative(rules, root).string();
        // '#' delimits the address: the products are written with slashes.
        command = "sed -E '\\#\"0*(" + adapterPattern() + ")/#d' " + source + " | sudo tee /etc/udev/rules.d/" +
                  rules.filename().string() + " >/dev/null && sudo udevadm control --reload-rules";
    }
    return problem("brltty（てんじ ディスプレイよう）が はいっていて" + stateJa +
                       "。ボードの USB アダプターを とってしまいます。したの コマンドで アダプターだけ はずし、ボードを "
                       "さしなおしてください（おなじ USB チップを つかわない てんじ ディスプレイは つかえるままです）。brltty を けすのは、てんじ "
                       "ディスプレイを だれも つかわない コンピューターだけに してください。",
                   "brltty (for braille displays) is installed" + state +
                       ": it takes over USB serial adapters like the board's when they are plugged in. The command "
                       "leaves the board adapters out of its rules (braille displays on other USB chips keep working); "
                       "then unplug the "
                       "board and plug it in again. Removing brltty is only for computers nobody uses with a braille "
                       "display.",
                   command);
}

DoctorLine modemManagerLine(const DoctorSystem& system, const std::vector<Process>& all) {
    if (!running(all, "ModemManager"))
        return ok("ModemManager は うごいていません。", "ModemManager is not running.");
    // Already told to leave the adapters alone?
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(fs::path(system.root) / "etc/udev/rules.d", ec)) {
        const std::string text = wholeFile(entry.path());
        if (text.find("ID_MM_DEVICE_IGNORE") != std::string::npos && namesAdapter(text))
            return ok("ModemManager は うごいていますが、ボードの アダプターには さわりません。",
                      "ModemManager is running and leaves the board adapters alone.");
    }
    std::string rules;
    for (const auto& [vendor, product] : boardAdapterIds())
        rules += "ATTRS{idVendor}==\"" + vendor + "\", ATTRS{idProduct}==\"" + product +
                 "\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"\\n";
    return advice("ModemManager が うごいていて、あたらしい シリアルポートを しらべに いきます。ボードが "
                  "ささった すぐあとに じゃまを する ことが あります。したの コマンドで ボードの アダプターを "
                  "よけてもらいます（ModemManager は とめないでください。ノートパソコンの モデムに ひつようです）。",
                  "ModemManager is running: it probes new serial ports, which can disturb the board for a few "
                  "seconds after it is plugged in. The command tells it to leave the board adapters alone; do "
                  "not stop ModemManager, a laptop's mobile modem needs it.",
                  "printf '" + rules + "' | sudo tee /etc/udev/rules.d/99-corvina-boards.rules >/dev/null && sudo "
                  "udevadm control --reload-rules");
}

DoctorLine wifiLine(const DoctorSystem& system) {
    // The module's network: its address less the last number.
    const std::string network = system.moduleHost.substr(0, system.moduleHost.rfind('.') + 1);
    for (const std::string& address : system.ipv4)
        if (address.rfind(network, 0) == 0)
            return ok("この コンピューターは Wi-Fi モジュールの ネットワークに います（" + address + "）。",
                      "This computer is on the Wi-Fi module's network (" + address + ").");
    return advice("この コンピューターは Wi-Fi モジュールの ネットワーク（" + network + "x）に いません。Wi-Fi で "
                  "おくるときは、モジュールの Wi-Fi に つないでください。",
                  "This computer is not on the Wi-Fi module's network (" + network + "x). To send over Wi-Fi, join "
                  "the module's Wi-Fi network first.");
}

std::string kindText(PortKind kind, bool japanese) {
    switch (kind) {
    case PortKind::BoardAdapter: return japanese ? "ボードの USB アダプター" : "board adapter";
    case PortKind::OtherUsb: return japanese ? "ほかの USB シリアル きき" : "other USB serial device";
    case PortKind::Bluetooth: return japanese ? "Bluetooth（えらんだ ときだけ つかいます）" : "Bluetooth (used only when picked)";
    }
    return {};
}

} // namespace

DoctorSystem DoctorSystem::current() {
    DoctorSystem system;
    system.root = systemRoot();
    system.uid = ::getuid();
    if (const passwd* pw = ::getpwuid(system.uid)) system.user = pw->pw_name;
    const int count = ::getgroups(0, nullptr);
    std::vector<gid_t> ids(static_cast<size_t>(std::max(count, 0)));
    if (count > 0 && ::getgroups(count, ids.data()) == count) system.groups.assign(ids.begin(), ids.end());
    system.groups.push_back(::getgid());
    system.ownPid = ::getpid();
    system.moduleHost = CorvinaCardSerialManager::getInstance()->getUdpSettings().host;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) == 0) {
        for (const ifaddrs* a = list; a; a = a->ifa_next) {
            if (!a->ifa_addr || a->ifa_addr->sa_family != AF_INET) continue;
            char text[INET_ADDRSTRLEN] = {};
            const auto* in = reinterpret_cast<const sockaddr_in*>(a->ifa_addr);
            if (::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text)) system.ipv4.emplace_back(text);
        }
        ::freeifaddrs(list);
    }
    return system;
}

std::vector<DoctorLine> examineSystem(const DoctorSystem& system) {
    std::vector<DoctorLine> lines;
    const std::optional<std::vector<PortInfo>> listed = enumerateSerialPorts(system.root);
    const std::vector<PortInfo> ports = listed.value_or(std::vector<PortInfo>{});
    const bool anyUsb = std::any_of(ports.begin(), ports.end(), [](const PortInfo& p) { return p.kind != PortKind::Bluetooth; });
    if (!listed)
        lines.push_back(problem("きかいの リストが よめません（/sys が ありません）。",
                                "The system's list of devices cannot be read (no /sys)."));
    else if (!anyUsb)
        lines.push_back(problem("USB の シリアル ききが ささっていません。ケーブルを たしかめてください（じゅうでん "
                                "だけの ケーブルも あります）。べつの ケーブルや、べつの USB の さしこみぐちも "
                                "ためしてください。",
                                "No USB serial device is plugged in. Check the cable: some cables only charge and "
                                "carry no data. Try another cable, and another USB socket."));
    for (const PortInfo& port : ports) {
        const PortIdentity& id = port.identity;
        std::string identity = port.kind == PortKind::Bluetooth ? std::string()
                                                                  : " (" + id.vendor + ":" + id.product +
                                                                        (id.serial.empty() ? "" : ", serial " + id.serial) +
                                                                        ", interface " + id.interface + ")";
        const DoctorMark mark = port.kind == PortKind::BoardAdapter ? DoctorMark::Ok : DoctorMark::Advice;
        lines.push_back({mark, shownName(port) + ": " + kindText(port.kind, true) + " " + port.description + identity,
                         shownName(port) + ": " + kindText(port.kind, false) + " " + port.description + identity, {}});
    }
    const std::map<unsigned, Group> groups = groupsOf(fs::path(system.root) / "etc/group");
    for (const PortInfo& port : ports) lines.push_back(accessLine(port, system, groups));

    int unreadable = 0;
    const std::vector<Process> all = processes(fs::path(system.root) / "proc", unreadable);
    bool held = false;
    for (const PortInfo& port : ports)
        if (const auto holder = holderOf(port, all, system)) {
            held = true;
            const std::string who = holder->second.empty() ? "?" : holder->second;
            const std::string pid = std::to_string(holder->first);
            // Services (their own checks say what to do) and the editor are
            // closed, never killed.
            const bool service = who == "brltty" || who == "ModemManager";
            const bool editor = who.rfind("corvina", 0) == 0;
            lines.push_back(problem(shownName(port) + " は ほかの プログラム（" + who + "、" + pid + "）が つかっています。" +
                                        (editor ? "エディターを とじてください。" : service ? "" : "その プログラムを とじてください。"),
                                    shownName(port) + " is held by another program (" + who + ", process " + pid + ")." +
                                        (editor    ? " Close the editor first."
                                         : service ? ""
                                                   : " Close that program, or end it with the command."),
                                    editor || service ? "" : "kill " + pid));
        }
    if (!held && !ports.empty()) {
        if (unreadable > 0)
            lines.push_back(advice("ほかの ユーザーの プログラムは しらべられませんでした。sudo で ためしてください。",
                                   std::to_string(unreadable) + " programs of other users could not be looked at; "
                                   "run the check with sudo to see whether one holds a port.",
                                   "sudo corvina-cli doctor"));
        else
            lines.push_back(ok("ほかの プログラムは シリアルポートを つかっていません。",
                               "No other program holds a serial port."));
    }
    lines.push_back(brlttyLine(system, all, ports));
    lines.push_back(modemManagerLine(system, all));
    lines.push_back(wifiLine(system));
    return lines;
}

DoctorLine boardAnswerLine(const std::string& port, const std::optional<std::string>& version,
                           const CorvinaAppsError& openError, bool inEditor) {
    if (port.empty() && inEditor)
        return advice("ボードには きいていません。ポートの リストで ボードを えらぶと、ボードが こたえるか たしかめます。",
                      "No board's port is chosen, so no board was asked. Choose the board in the port list, then "
                      "check again.");
    if (port.empty())
        return advice("ボードには きいていません。ポートを えらぶと、ボードが こたえるか たしかめます。",
                      "No port was chosen, so no board was asked. Name the board's port to ask it.",
                      "corvina-cli doctor --port /dev/ttyUSB0");
    if (version)
        return ok(port + " の ボードが こたえました（バージョン " + *version + "）。",
                  "The board on " + port + " answered (version " + *version + ").");
    if (!openError.message.empty())
        return problem(port + ": " + openError.message, port + ": " + openError.message);
    return problem(port + " から こたえが ありません。ボードの でんげんと ケーブルを たしかめ、リセットボタンを "
                       "おしてから もういちど ためしてください。",
                   "Nothing on " + port + " answered like a board within a second. Check the board is switched on "
                       "and the cable is in, press its reset button, then try again.");
}

std::string doctorLineText(const DoctorLine& line, bool japanese) {
    const char* mark = line.mark == DoctorMark::Ok ? "ok    " : line.mark == DoctorMark::Advice ? "note  " : "FIX   ";
    std::string text = mark + (japanese ? line.japanese : line.english);
    if (!line.command.empty()) text += "  $ " + line.command;
    return text;
}
