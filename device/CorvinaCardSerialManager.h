#pragma once
// The boards the editor can reach and the one link open to a board. The
// field scene, the send worker, the hot-plug check and the command-line
// tool all use it, possibly at once: everything here is guarded by one
// mutex.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "device/CorvinaAppsError.h"
#include "device/Link.h"
#include "device/PortScanner.h"
#include "device/UdpLink.h"

enum LinkKind { Serial = 100, Udp = 500, Simulator = 900 };
enum LinkState { Idle = 0, Searching = 2, Connecting = 3 };

// One entry of the board chooser.
struct CorvinaCardSerialData {
    CorvinaCardSerialData() = default;
    CorvinaCardSerialData(std::string portName, std::string description, int linkKind, bool active = false)
        : portName(std::move(portName)), description(std::move(description)), linkKind(linkKind), active(active) {}

    std::string portName, description;
    int linkKind = 0;
    bool active = false;
    PortKind portKind = PortKind::OtherUsb;  // serial entries
    PortIdentity identity;                   // serial entries on a USB device
    // The device chosen is not plugged in now: kept chosen, not switched
    // behind the child's back.
    bool missing = false;

    // Who the entry is across names and runs: the Wi-Fi module, the
    // simulator, a USB device by its identity, else a port by its path.
    std::string key() const;
};

class CorvinaCardSerialManager {
public:
    using LinkOpener = std::function<std::unique_ptr<Link>(const CorvinaCardSerialData&, CorvinaAppsError*)>;

    // The process's manager: created on first use, never destroyed.
    static CorvinaCardSerialManager* getInstance();
    // Replaces the process's manager by a fresh one; nothing may be using
    // the old one.
    static void resetForTests();

    CorvinaCardSerialManager();
    ~CorvinaCardSerialManager();
    CorvinaCardSerialManager(const CorvinaCardSerialManager&) = delete;
    CorvinaCardSerialManager& operator=(const CorvinaCardSerialManager&) = delete;

    // Only the first call does anything: state Idle, then done(true).
    bool start(const std::function<void(bool)>& done);
    // Rebuilds the list: the explicit port, every serial port found, the
    // Wi-Fi module, then the simulated board. The chosen entry stays chosen
    // while its name is listed; otherwise the first serial port is, or the
    // simulator when there is none, so that play never types into the void.
    // State is Searching while it runs. A scan while another runs returns
    // false and does not call `done`.
    bool scanPorts(const std::function<void(bool)>& done);
    bool isScanning() const;
    // For hot-plug: rebuilds the list as a scan does, but only when the
    // port names changed, and leaves the state alone. True when it changed.
    bool refreshQuietly();
    void setPortEnumerator(PortEnumerator enumerator);
    // A port named by the user (or a test) listed first in every scan,
    // listed or not by the system; empty removes it.
    void setExplicitPort(const std::string& path);

    // Marks the selected entry active and every other inactive.
    bool activateSelected(const std::function<void(bool)>& done);
    std::vector<CorvinaCardSerialData> getDevices() const;
    int getSelectedIndex() const;
    // The user's pick: chosen again whenever it is listed, under any name,
    // and remembered in the choice file. Out of range chooses nothing.
    void setSelectedIndex(int index);
    // The same by the entry's key, so a list reordered by a scan meanwhile
    // still picks the entry tapped. False when no entry has that key.
    bool pick(const std::string& key);
    // Where the pick is kept across runs; read at once. Empty: not kept.
    void setChoiceFile(const std::string& path);

    std::optional<CorvinaCardSerialData> getSelectedDevice() const;
    int getState() const;
    void setState(int state);

    void setUdpSettings(const UdpSettings& settings);
    UdpSettings getUdpSettings() const;

    // Opens the selected entry's link, closing any other; a link to the
    // same device still open is kept (and its port stays locked). On
    // failure `error` (may be null) says what to show.
    bool openLink(CorvinaAppsError* error);
    // Whether the last openLink failed because another program holds the
    // Wi-Fi link's local port; the main thread then shows the conflict.
    bool lastOpenWasPortConflict() const;
    // False when no link is open. The write runs outside the mutex, so a
    // blocked write never holds up the scene's reads. A write that fails
    // (not stopped by `cancel`) closes the link at once, so a board
    // plugged in again gets its old name back.
    bool writeByte(std::uint8_t byte, const std::atomic<bool>* cancel);
    // What to tell of the last write that failed: the cable came out, the
    // Wi-Fi module cannot be reached, or the connection failed.
    CorvinaAppsError writeFailedError() const;
    // The Wi-Fi link binds the module's local port: closed after each send.
    void closeLinkIfWifi();
    // What the board printed since the last read, appended; never waits.
    // False when no link is open or it failed; a failed read closes it.
    bool readAvailable(std::string& into);
    // Whether the open link brings the board's printing back.
    bool linkCanAnswer() const;
    bool isLinkOpen() const;
    // Closes the open link, if any (a write in progress finishes first),
    // then done(true).
    bool closeLink(const std::function<void(bool)>& done = {});
    // Replaces how a link is opened; an empty function restores the ports.
    void setLinkOpenerForTests(LinkOpener opener);
    // How the simulator entry's link opens: the editor, which shows the
    // simulated board, hands it in. Without one the entry cannot open.
    void setSimulatorOpener(std::function<std::unique_ptr<Link>()> opener);
    // The simulator entry's name in the current language.
    static std::string simulatorName();

private:
    // The entries a scan would show for these ports, without the choice.
    std::vector<CorvinaCardSerialData> listFor(const std::vector<PortInfo>& ports) const;
    // Installs a new list: the pick wherever it is listed (or kept as
    // missing), else the best ranked USB port, else the simulator. Mutex held.
    void install(std::vector<CorvinaCardSerialData> devices);
    void rememberPick(const CorvinaCardSerialData& device, bool save);
    // The device whose link is open stays the choice for this run, as the
    // list stands now. Mutex held.
    void holdLinkDevice();
    // Closes `failed` if it is still the open link, remembering why. The
    // device it led to stays the choice for this run, shown as missing
    // while it is gone, instead of another one taking over; a board of its
    // rank plugged in since takes over.
    void dropFailed(const std::shared_ptr<Link>& failed);
    std::unique_ptr<Link> openSelected(const CorvinaCardSerialData& device, CorvinaAppsError* error);
    PortEnumerator enumerator() const;

    mutable std::mutex _mutex;
    std::vector<CorvinaCardSerialData> _devices;
    int _selectedIndex = 0;
    std::optional<CorvinaCardSerialData> _picked;  // the user's pick, or the device held after a failure
    bool _pickIsHold = false;                      // held after a failure, not picked
    std::vector<std::string> _heldAmong;           // who was listed when it was held
    std::string _autoKey;     // the entry chosen while nobody picked one
    std::string _choiceFile;
    int _state = Idle;
    bool _started = false;
    bool _scanning = false;
    bool _portConflict = false;
    std::string _explicitPort;
    UdpSettings _udpSettings;
    PortEnumerator _enumerator;
    LinkOpener _linkOpener;
    std::function<std::unique_ptr<Link>()> _simulatorOpener;
    // Shared with a write in progress, which keeps the descriptor alive
    // until it returns even if the link is closed meanwhile.
    std::shared_ptr<Link> _link;
    std::string _linkKey;  // whose link is open
    CorvinaCardSerialData _linkDevice;
    // A link install let go (another board took over); released outside
    // the mutex by whoever installed.
    std::shared_ptr<Link> _released;
    int _failedKind = 0;   // the link kind and errno of the last failed write
    int _failedErrno = 0;
};
