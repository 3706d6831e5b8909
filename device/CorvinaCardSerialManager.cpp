#include "device/CorvinaCardSerialManager.h"

#include <algorithm>
#include <cerrno>
#include <utility>

#include "device/SerialLink.h"
#include "engine/core/FileUtils.h"
#include "ui/Localization.h"

namespace {

// The Wi-Fi module's entry, after the serial ports.
constexpr const char* kWifiName = "MixJuice";
constexpr const char* kWifiDescription = "UDP";
// The simulated board's entry, last.
constexpr const char* kSimulatorDescription = "SIM";

std::mutex instanceMutex;
CorvinaCardSerialManager* instance = nullptr;

// What a hot-plug check compares: who is listed, under which names.
std::vector<std::string> namesOf(const std::vector<CorvinaCardSerialData>& devices)
{
    std::vector<std::string> names;
    for (const CorvinaCardSerialData& device : devices)
        names.push_back(device.key() + "|" + device.portName + (device.missing ? "|missing" : ""));
    return names;
}

// Lower is preferred; a port named on purpose comes before all.
int rankOf(const CorvinaCardSerialData& device, const std::string& explicitPort)
{
    if (device.linkKind != Serial || device.missing)
        return 100;
    if (!explicitPort.empty() && device.portName == explicitPort)
        return 0;
    return static_cast<int>(device.portKind);
}

} // namespace

CorvinaCardSerialManager* CorvinaCardSerialManager::getInstance()
{
    std::lock_guard<std::mutex> lock(instanceMutex);
    if (!instance)
        instance = new CorvinaCardSerialManager();
    return instance;
}

void CorvinaCardSerialManager::resetForTests()
{
    std::lock_guard<std::mutex> lock(instanceMutex);
    delete instance;
    instance = new CorvinaCardSerialManager();
}

CorvinaCardSerialManager::CorvinaCardSerialManager() : _enumerator([] { return enumerateSerialPorts(); }) {}

CorvinaCardSerialManager::~CorvinaCardSerialManager() = default;

bool CorvinaCardSerialManager::start(const std::function<void(bool)>& done)
{
    {
        std::lock_guard<std::mutex> lock(_mutex);
        if (_started)
            return true;
        _started = true;
        _state = Idle;
    }
    if (done)
        done(true);
    return true;
}

PortEnumerator CorvinaCardSerialManager::enumerator() const
{
    std::lock_guard<std::mutex> lock(_mutex);
    return _enumerator;
}

std::vector<CorvinaCardSerialData> CorvinaCardSerialManager::listFor(const std::vector<PortInfo>& ports) const
{
    std::vector<CorvinaCardSerialData> devices;
    if (!_explicitPort.empty())
        devices.push_back({_explicitPort, _explicitPort, Serial, false});
    for (const PortInfo& port : ports) {
        if (port.name.empty() || port.description.empty() || port.name == _explicitPort)
            continue;
        CorvinaCardSerialData device{port.name, port.description, Serial, false};
        device.portKind = port.kind;
        device.identity = port.identity;
        devices.push_back(device);
    }
    devices.push_back({kWifiName, kWifiDescription, Udp, false});
    devices.push_back({simulatorName(), kSimulatorDescription, Simulator, false});
    return devices;
}

std::string CorvinaCardSerialData::key() const
{
    if (linkKind == Udp)
        return "wifi";
    if (linkKind == Simulator)
        return "simulator";
    if (!identity.empty())
        return "usb:" + identity.vendor + ":" + identity.product + ":" + identity.serial + ":" + identity.interface;
    return "port:" + portName;
}

std::string CorvinaCardSerialManager::simulatorName()
{
    return Localization::getInstance()->localizedText("シミュレーター", "Simulator");
}

void CorvinaCardSerialManager::install(std::vector<CorvinaCardSerialData> devices)
{
    int selected = -1;
    // The board whose port is open has left the list: it was pulled out,
    // whether or not a read or write has noticed yet. Nobody having picked
    // another, it stays the choice, shown missing.
    if (_link && _linkDevice.linkKind == Serial && (!_picked || (_pickIsHold && _picked->key() != _linkKey))) {
        const bool present = std::any_of(devices.begin(), devices.end(), [this](const CorvinaCardSerialData& d) {
            return d.key() == _linkKey && !d.missing;
        });
        if (!present) {
            holdLinkDevice();
        }
    }
    // A device held after a failure gives way to a board as good plugged in
    // since (another board swapped in), never to one listed before.
    if (_picked && _pickIsHold) {
        const std::string held = _picked->key();
        const int heldRank = static_cast<int>(_picked->portKind);
        const bool listed = std::any_of(devices.begin(), devices.end(), [&](const CorvinaCardSerialData& d) {
            return d.key() == held && !d.missing;
        });
        const bool newcomer = std::any_of(devices.begin(), devices.end(), [&](const CorvinaCardSerialData& d) {
            return d.linkKind == Serial && !d.missing && rankOf(d, _explicitPort) <= heldRank &&
                   std::find(_heldAmong.begin(), _heldAmong.end(), d.key()) == _heldAmong.end();
        });
        if (!listed && newcomer) {
            _picked.reset();
            _pickIsHold = false;
            _autoKey.clear();
        }
    }
    // The pick is chosen wherever it is listed, under any name. A serial
    // device that is gone stays chosen, marked missing, before the Wi-Fi
    // entry: play then says to plug it in instead of typing elsewhere.
    if (_picked) {
        const std::string wanted = _picked->key();
        for (size_t i = 0; i < devices.size() && selected < 0; ++i)
            if (devices[i].key() == wanted)
                selected = static_cast<int>(i);
        if (selected < 0 && _picked->linkKind == Serial) {
            CorvinaCardSerialData missing = *_picked;
            missing.missing = true;
            auto wifi = std::find_if(devices.begin(), devices.end(),
                                     [](const CorvinaCardSerialData& d) { return d.linkKind == Udp; });
            selected = static_cast<int>(wifi - devices.begin());
            devices.insert(wifi, missing);
        }
    }
    // Nobody picked: the best ranked USB port; one in use stays until a
    // better ranked one comes. Bluetooth only when picked; no port, the
    // simulator.
    if (selected < 0) {
        int best = -1, current = -1;
        for (size_t i = 0; i < devices.size(); ++i) {
            const int rank = rankOf(devices[i], _explicitPort);
            if (rank > static_cast<int>(PortKind::OtherUsb))
                continue;
            if (best < 0 || rank < rankOf(devices[static_cast<size_t>(best)], _explicitPort))
                best = static_cast<int>(i);
            if (devices[i].key() == _autoKey && current < 0)
                current = static_cast<int>(i);
        }
        selected = current >= 0 && rankOf(devices[static_cast<size_t>(best)], _explicitPort) >=
                                        rankOf(devices[static_cast<size_t>(current)], _explicitPort)
                       ? current
                       : best;
        for (size_t i = 0; i < devices.size() && selected < 0; ++i)
            if (devices[i].linkKind == Simulator)
                selected = static_cast<int>(i);
        if (selected >= 0)
            _autoKey = devices[static_cast<size_t>(selected)].key();
    }
    if (selected < 0)
        selected = 0;
    for (size_t i = 0; i < devices.size(); ++i)
        devices[i].active = static_cast<int>(i) == selected;
    // Another board took over while this one is still there: its port is
    // let go, and a later failure on it changes nothing.
    if (_link && devices[static_cast<size_t>(selected)].key() != _linkKey) {
        _released = std::move(_link);
        _link.reset();
        _linkKey.clear();
    }
    _devices = std::move(devices);
    _selectedIndex = selected;
}

void CorvinaCardSerialManager::holdLinkDevice()
{
    _heldAmong.clear();
    for (const CorvinaCardSerialData& device : _devices)
        if (!device.missing)
            _heldAmong.push_back(device.key());
    rememberPick(_linkDevice, false);
}

void CorvinaCardSerialManager::rememberPick(const CorvinaCardSerialData& device, bool save)
{
    _picked = device;
    _picked->active = false;
    _picked->missing = false;
    _pickIsHold = !save;
    if (!save || _choiceFile.empty())
        return;
    engine::ValueMap choice;
    choice["key"] = engine::Value(device.key());
    choice["portName"] = engine::Value(device.portName);
    choice["description"] = engine::Value(device.description);
    choice["linkKind"] = engine::Value(device.linkKind);
    choice["portKind"] = engine::Value(static_cast<int>(device.portKind));
    choice["vendor"] = engine::Value(device.identity.vendor);
    choice["product"] = engine::Value(device.identity.product);
    choice["serial"] = engine::Value(device.identity.serial);
    choice["interface"] = engine::Value(device.identity.interface);
    // A pick not kept is chosen again only in this run; nothing else is lost.
    engine::FileUtils::getInstance()->writeValueMapToFile(choice, _choiceFile);
}

void CorvinaCardSerialManager::setChoiceFile(const std::string& path)
{
    const engine::ValueMap choice = path.empty() ? engine::ValueMap{} : engine::FileUtils::getInstance()->getValueMapFromFile(path);
    auto text = [&choice](const char* name) {
        auto found = choice.find(name);
        return found != choice.end() && found->second.getType() == engine::Value::Type::STRING ? found->second.asString()
                                                                                                : std::string();
    };
    auto number = [&choice](const char* name) {
        auto found = choice.find(name);
        return found != choice.end() && found->second.getType() == engine::Value::Type::INTEGER ? found->second.asInt() : 0;
    };
    std::lock_guard<std::mutex> lock(_mutex);
    _choiceFile = path;
    CorvinaCardSerialData device{text("portName"), text("description"), number("linkKind"), false};
    const int portKind = number("portKind");
    device.portKind = portKind == static_cast<int>(PortKind::BoardAdapter) ? PortKind::BoardAdapter
                      : portKind == static_cast<int>(PortKind::Bluetooth) ? PortKind::Bluetooth
                                                                           : PortKind::OtherUsb;
    device.identity = {text("vendor"), text("product"), text("serial"), text("interface")};
    // A damaged or foreign file is no pick.
    const bool known = device.linkKind == Serial || device.linkKind == Udp || device.linkKind == Simulator;
    if (!known || device.key() != text("key") || (device.linkKind == Serial && device.portName.empty()))
        return;
    _picked = device;
    _pickIsHold = false;
    if (!_devices.empty())
        install(_devices);
}

bool CorvinaCardSerialManager::scanPorts(const std::function<void(bool)>& done)
{
    PortEnumerator enumerate;
    {
        std::lock_guard<std::mutex> lock(_mutex);
        if (_scanning)
            return false;
        _scanning = true;
        _state = Searching;
        enumerate = _enumerator;
    }
    // Listing ports can take a while; the scene keeps reading meanwhile.
    const std::optional<std::vector<PortInfo>> ports = enumerate ? enumerate() : std::nullopt;
    std::shared_ptr<Link> released;
    {
        std::lock_guard<std::mutex> lock(_mutex);
        if (ports)
            install(listFor(*ports));
        released = std::move(_released);
        _scanning = false;
        _state = Idle;
    }
    released.reset();
    const bool result = ports.has_value();
    if (done)
        done(result);
    return result;
}

bool CorvinaCardSerialManager::isScanning() const
{
    std::lock_guard<std::mutex> lock(_mutex);
    return _scanning;
}

bool CorvinaCardSerialManager::refreshQuietly()
{
    const PortEnumerator enumerate = enumerator();
    const std::optional<std::vector<PortInfo>> ports = enumerate ? enumerate() : std::nullopt;
    if (!ports)
        return false;
    std::shared_ptr<Link> released;
    {
        std::lock_guard<std::mutex> lock(_mutex);
        // A scan in progress is about to install its own list.
        if (_scanning)
            return false;
        std::vector<CorvinaCardSerialData> devices = listFor(*ports);
        if (namesOf(devices) == namesOf(_devices))
            return false;
        install(std::move(devices));
        released = std::move(_released);
    }
    return true;
}

void CorvinaCardSerialManager::setPortEnumerator(PortEnumerator enumerator)
{
    std::lock_guard<std::mutex> lock(_mutex);
    _enumerator = std::move(enumerator);
}

void CorvinaCardSerialManager::setExplicitPort(const std::string& path)
{
    std::lock_guard<std::mutex> lock(_mutex);
    _explicitPort = path;
}

bool CorvinaCardSerialManager::activateSelected(const std::function<void(bool)>& done)
{
    bool inRange;
    {
        std::lock_guard<std::mutex> lock(_mutex);
        inRange = _selectedIndex >= 0 && _selectedIndex < static_cast<int>(_devices.size());
        for (size_t i = 0; i < _devices.size(); ++i)
            _devices[i].active = static_cast<int>(i) == _selectedIndex;
    }
    if (done)
        done(inRange);
    return inRange;
}

std::vector<CorvinaCardSerialData> CorvinaCardSerialManager::getDevices() const
{
    std::lock_guard<std::mutex> lock(_mutex);
    return _devices;
}

int CorvinaCardSerialManager::getSelectedIndex() const
{
    std::lock_guard<std::mutex> lock(_mutex);
    return _selectedIndex;
}

void CorvinaCardSerialManager::setSelectedIndex(int index)
{
    std::lock_guard<std::mutex> lock(_mutex);
    _selectedIndex = index;
    if (index >= 0 && index < static_cast<int>(_devices.size()))
        rememberPick(_devices[static_cast<size_t>(index)], true);
}

bool CorvinaCardSerialManager::pick(const std::string& key)
{
    std::shared_ptr<Link> old;
    std::lock_guard<std::mutex> lock(_mutex);
    for (size_t i = 0; i < _devices.size(); ++i)
        if (_devices[i].key() == key) {
            _selectedIndex = static_cast<int>(i);
            rememberPick(_devices[i], true);
            // Another device picked: the port held so far is let go.
            if (_link && _linkKey != key) {
                old = std::move(_link);
                _link.reset();
                _linkKey.clear();
            }
            return true;
        }
    return false;
}



std::optional<CorvinaCardSerialData> CorvinaCardSerialManager::getSelectedDevice() const
{
    std::lock_guard<std::mutex> lock(_mutex);
    if (_selectedIndex < 0 || _selectedIndex >= static_cast<int>(_devices.size()))
        return std::nullopt;
    return _devices[_selectedIndex];
}

int CorvinaCardSerialManager::getState() const
{
    std::lock_guard<std::mutex> lock(_mutex);
    return _state;
}

void CorvinaCardSerialManager::setState(int state)
{
    std::lock_guard<std::mutex> lock(_mutex);
    _state = state;
}

void CorvinaCardSerialManager::setUdpSettings(const UdpSettings& settings)
{
    std::lock_guard<std::mutex> lock(_mutex);
    _udpSettings = settings;
}

UdpSettings CorvinaCardSerialManager::getUdpSettings() const
{
    std::lock_guard<std::mutex> lock(_mutex);
    return _udpSettings;
}

std::unique_ptr<Link> CorvinaCardSerialManager::openSelected(const CorvinaCardSerialData& device,
                                                             CorvinaAppsError* error)
{
    if (_linkOpener)
        return _linkOpener(device, error);
    int errorNumber = 0;
    if (device.linkKind == Serial) {
        if (device.missing) {
            *error = boardNotPluggedError();
            return nullptr;
        }
        std::unique_ptr<SerialLink> link = SerialLink::open(device.portName, &errorNumber);
        if (!link)
            *error = errorNumber == EACCES || errorNumber == EPERM                        ? permissionDeniedError(device.portName)
                     : errorNumber == EBUSY                                                 ? boardBusyError()
                     : errorNumber == ENOENT || errorNumber == ENXIO || errorNumber == ENODEV ? boardNotPluggedError()
                                                                                             : linkOpenFailedError();
        return link;
    }
    if (device.linkKind == Udp) {
        std::unique_ptr<UdpLink> link = UdpLink::open(_udpSettings, &errorNumber);
        if (!link && errorNumber == EADDRINUSE) {
            const AlertText conflict = portConflictMessage(_udpSettings.localPort);
            *error = CorvinaAppsError{conflict.title, conflict.message};
            error->showAlert = true;
            _portConflict = true;
        } else if (!link) {
            *error = linkOpenFailedError();
        }
        return link;
    }
    if (device.linkKind == Simulator && _simulatorOpener) {
        if (std::unique_ptr<Link> link = _simulatorOpener())
            return link;
    }
    *error = linkOpenFailedError();
    return nullptr;
}

bool CorvinaCardSerialManager::openLink(CorvinaAppsError* error)
{
    // The old link goes before the new one opens: the Wi-Fi link binds the
    // same local port again. It is closed outside the mutex, as a serial
    // close may wait for the adapter to drain. The same device's link stays
    // open, its port locked for this program.
    std::shared_ptr<Link> old;
    {
        std::lock_guard<std::mutex> lock(_mutex);
        const bool valid = _selectedIndex >= 0 && _selectedIndex < static_cast<int>(_devices.size());
        const CorvinaCardSerialData* selected = valid ? &_devices[static_cast<size_t>(_selectedIndex)] : nullptr;
        // Under another name it is the same board plugged in again: opened anew.
        if (_link && selected && !selected->missing && selected->linkKind == Serial && selected->key() == _linkKey &&
            selected->portName == _linkDevice.portName)
            return true;
        old = std::move(_link);
        _link.reset();
    }
    old.reset();

    CorvinaAppsError failure = linkOpenFailedError();
    bool opened = false;
    {
        std::lock_guard<std::mutex> lock(_mutex);
        _portConflict = false;
        if (_selectedIndex >= 0 && _selectedIndex < static_cast<int>(_devices.size())) {
            std::unique_ptr<Link> link = openSelected(_devices[_selectedIndex], &failure);
            if (link) {
                old = std::move(_link);  // opened by another thread meanwhile
                _link = std::move(link);
                _linkKey = _devices[static_cast<size_t>(_selectedIndex)].key();
                _linkDevice = _devices[static_cast<size_t>(_selectedIndex)];
                _failedKind = _failedErrno = 0;
                opened = true;
            }
        }
    }
    old.reset();
    if (!opened && error)
        *error = failure;
    return opened;
}

bool CorvinaCardSerialManager::lastOpenWasPortConflict() const
{
    std::lock_guard<std::mutex> lock(_mutex);
    return _portConflict;
}

bool CorvinaCardSerialManager::writeByte(std::uint8_t byte, const std::atomic<bool>* cancel)
{
    std::shared_ptr<Link> link;
    {
        std::lock_guard<std::mutex> lock(_mutex);
        link = _link;
    }
    if (!link)
        return false;
    if (link->writeByte(byte, cancel))
        return true;
    if (!(cancel && cancel->load()))
        dropFailed(link);
    return false;
}

void CorvinaCardSerialManager::dropFailed(const std::shared_ptr<Link>& failed)
{
    std::shared_ptr<Link> old;
    {
        std::lock_guard<std::mutex> lock(_mutex);
        if (_link != failed)
            return;
        _failedKind = _linkKey == "wifi" ? Udp : _linkKey == "simulator" ? Simulator : Serial;
        _failedErrno = failed->lastError();
        old = std::move(_link);
        _link.reset();
        _linkKey.clear();
        if (!_picked || _pickIsHold) {
            holdLinkDevice();
            if (!_devices.empty())
                install(_devices);
        }
    }
}

CorvinaAppsError CorvinaCardSerialManager::writeFailedError() const
{
    std::lock_guard<std::mutex> lock(_mutex);
    // A board that stops taking keys is not a cable pulled out.
    if (_failedKind == Serial && _failedErrno != ETIMEDOUT)
        return cableCameOutError();
    if (_failedKind == Udp && (_failedErrno == ENETUNREACH || _failedErrno == EHOSTUNREACH || _failedErrno == ENETDOWN))
        return wifiUnreachableError();
    return connectionFailedError();
}

void CorvinaCardSerialManager::closeLinkIfWifi()
{
    std::shared_ptr<Link> old;
    {
        std::lock_guard<std::mutex> lock(_mutex);
        if (_link && _linkKey == "wifi") {
            old = std::move(_link);
            _link.reset();
            _linkKey.clear();
        }
    }
}

bool CorvinaCardSerialManager::readAvailable(std::string& into)
{
    std::shared_ptr<Link> link;
    {
        std::lock_guard<std::mutex> lock(_mutex);
        link = _link;
    }
    if (!link)
        return false;
    if (link->readAvailable(into))
        return true;
    dropFailed(link);
    return false;
}

bool CorvinaCardSerialManager::linkCanAnswer() const
{
    std::lock_guard<std::mutex> lock(_mutex);
    return _link && _link->canAnswer();
}

bool CorvinaCardSerialManager::isLinkOpen() const
{
    std::lock_guard<std::mutex> lock(_mutex);
    return _link != nullptr;
}

bool CorvinaCardSerialManager::closeLink(const std::function<void(bool)>& done)
{
    std::shared_ptr<Link> link;
    {
        std::lock_guard<std::mutex> lock(_mutex);
        link = std::move(_link);
        _link.reset();
        _linkKey.clear();
    }
    link.reset();
    if (done)
        done(true);
    return true;
}

void CorvinaCardSerialManager::setSimulatorOpener(std::function<std::unique_ptr<Link>()> opener)
{
    std::lock_guard<std::mutex> lock(_mutex);
    _simulatorOpener = std::move(opener);
}

void CorvinaCardSerialManager::setLinkOpenerForTests(LinkOpener opener)
{
    std::lock_guard<std::mutex> lock(_mutex);
    _linkOpener = std::move(opener);
}
