#include "cli/CliCommands.h"

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

#include "cards/CardCatalog.h"
#include "cards/FieldDocument.h"
#include "cards/FieldGeometry.h"
#include "cards/FieldSnapshot.h"
#include "cards/ProgramGenerator.h"
#include "cli/CliPrograms.h"
#include "device/CorvinaCardSerialManager.h"
#include "device/Doctor.h"
#include "device/ProgramLink.h"
#include "engine/core/ApplicationProtocol.h"
#include "engine/core/Plist.h"
#include "engine/core/Value.h"
#include "sim/SimulatorLink.h"
#include "ui/Localization.h"

namespace {

const char* const kUsage =
    "usage: corvina-cli COMMAND [OPTIONS]\n"
    "\n"
    "Prepare and send card programs without the editor's window.\n"
    "\n"
    "commands:\n"
    "  ports                                  list the boards as the editor shows them\n"
    "  new [--row N:SET:INDEX[:NUMBER]]... OUTPUT\n"
    "                                         write a saved program with cards on rows\n"
    "  render [--dialect jam|latte|que] DOCUMENT\n"
    "                                         print the bytes the board would receive\n"
    "  send [--dialect jam|latte|que] [--fast] [--no-check] (--port PATH [--any-port] | --udp HOST:PORT) DOCUMENT\n"
    "                                         type a saved program into the board\n"
    "  stop (--port PATH [--any-port] | --udp HOST:PORT)\n"
    "                                         stop the program running on the board\n"
    "  simulate [--dialect jam|latte] [--seconds N] DOCUMENT\n"
    "                                         run a saved program on a simulated board\n"
    "  list                                   the editor's programs: number, tab, title\n"
    "  export N FILE                          write program N to FILE (.corvina)\n"
    "  import FILE...                         add programs from .corvina files or documents\n"
    "  copy N                                 add a copy of program N\n"
    "  doctor [--port PATH [--any-port]]      why the board does not answer, and what to do\n"
    "\n"
    "'corvina-cli COMMAND --help' tells more of each command.\n";

const std::map<std::string, std::string> kCommandHelp = {
    {"ports",
     "usage: corvina-cli ports\n"
     "Lists the USB and Bluetooth serial ports and the Wi-Fi entry, the active one\n"
     "marked with '*', as the editor's port list shows them.\n"},
    {"new",
     "usage: corvina-cli new [--row N:SET:INDEX[:NUMBER]]... OUTPUT\n"
     "Writes a saved program (the editor's format) to OUTPUT with each card on row N\n"
     "(0 to 39; line number 10 x (N + 1)). SET is 0 basic, 1 paprika, 2 full; INDEX\n"
     "is the card's place in its set, as the palette lists it; NUMBER is the number\n"
     "of a card that takes one (seconds or a count).\n"},
    {"render",
     "usage: corvina-cli render [--dialect jam|latte|que] DOCUMENT\n"
     "Writes to standard output exactly the bytes the board would receive for the\n"
     "saved program DOCUMENT, in order, without the pauses. The dialect is jam\n"
     "unless given. A program the board would not run as its cards say (a number\n"
     "too large, a repeat count below 1, repeats too deep inside each other) is\n"
     "refused: nothing is written, the reason goes to standard error, status 5.\n"},
    {"send",
     "usage: corvina-cli send [--dialect jam|latte|que] [--fast] [--no-check]\n"
     "                        (--port PATH [--any-port] | --udp HOST:PORT) DOCUMENT\n"
     "Types the saved program DOCUMENT into the board on the serial port PATH, or\n"
     "sends it to the Wi-Fi module at HOST:PORT (from local port 20002), with the\n"
     "board's pauses. The typed text is shown as it goes. A program refused as\n"
     "render refuses it is not sent (status 5).\n"
     "A jam program sent over a serial port is checked: after its lines LIST is\n"
     "typed and the board's listing read back; lines that arrived damaged are\n"
     "typed again and lines the program does not have are deleted, in at most\n"
     "three listings, before SAVE 0 and RUN. The last line on standard error says\n"
     "how it went: 'checked: N lines', 'repaired: line N', 'failed: line N'\n"
     "(neither saved nor run, status 6) or 'not checked' (the board did not\n"
     "answer, Wi-Fi, latte, que, --no-check).\n"
     "--no-check types the program without LIST, as a program is sent over Wi-Fi.\n"
     "PATH must be a USB or Bluetooth serial port (or a pseudo-terminal); another\n"
     "device is refused (status 1) unless --any-port is given, the console always.\n"
     "The port is locked while the program is typed: a board another program is\n"
     "typing into is refused at once (status 3).\n"
     "--fast types jam at 17 ms a character where it is checked and at 25 ms\n"
     "otherwise, instead of 50 ms (the longer pauses stay). Latte and que keep\n"
     "their pace.\n"},
    {"stop",
     "usage: corvina-cli stop [--dialect jam|latte|que] (--port PATH [--any-port] | --udp HOST:PORT)\n"
     "Interrupts the program running on the board and switches its outputs off.\n"
     "PATH is checked as for send.\n"},
    {"doctor",
     "usage: corvina-cli doctor [--port PATH [--any-port]]\n"
     "Checks what keeps a board from answering on this computer, one line a check:\n"
     "'ok', 'note' (worth knowing) or 'FIX', and after '$' the command that fixes\n"
     "it, to copy. The checks: the serial devices as the editor ranks them, whether\n"
     "you may open each (the port's group), another program holding a port, brltty\n"
     "(which takes over USB serial adapters), ModemManager (which probes them), and\n"
     "whether this computer is on the Wi-Fi module's network (nothing is sent).\n"
     "With --port the board on PATH is asked who it is: the stop sequence, then\n"
     "?VER(); no other port is ever opened. PATH is checked as for send.\n"
     "Status 0 when a board answered, 3 otherwise.\n"},
    {"simulate",
     "usage: corvina-cli simulate [--dialect jam|latte] [--seconds N] DOCUMENT\n"
     "Types the saved program DOCUMENT into a simulated board, as send types it into\n"
     "a real one (normal pace), and lets it run for N seconds after RUN (default\n"
     "10), on a virtual clock: nothing waits in real time. Prints one line per thing\n"
     "the program does, the milliseconds since RUN first: '1000 LED 0', '0 OUT 33',\n"
     "'2000 PWM 3,145', '0 BEEP', or an error as the board shows it ('0 Not match\n"
     "in 10'). Servo widths are in hundredths of a millisecond in both dialects.\n"
     "The simulator speaks jam and latte; que is refused (status 1). A program\n"
     "render refuses is not run (status 5).\n"},
};

const std::map<std::string, std::string> kProgramHelp = {
    {"list",
     "usage: corvina-cli list\n"
     "Prints the editor's programs, newest first, one a line: its number, a tab,\n"
     "its title. Programs found on the disk and not yet listed are shown as the\n"
     "editor would list them. Only reads.\n"},
    {"export",
     "usage: corvina-cli export N FILE\n"
     "Writes program N (its title, cards and thumbnail) to FILE, a program file\n"
     "(.corvina) the editor or 'corvina-cli import' reads on another computer.\n"
     "Only reads the editor's programs.\n"},
    {"import",
     "usage: corvina-cli import FILE...\n"
     "Adds each FILE as a new program, in the order given, and prints its number\n"
     "and title. A FILE is a program file (.corvina), or a saved program as 'new'\n"
     "writes it, titled after its file name. A file that cannot be imported\n"
     "(damaged, over 1 MiB, not a program) is named, the others are still\n"
     "imported, and the status is 2. Status 7 when the editor is open.\n"},
    {"copy",
     "usage: corvina-cli copy N\n"
     "Adds a copy of program N, titled '<title> (copy)', and prints its number and\n"
     "title. Status 7 when the editor is open.\n"},
};

struct Options {
    std::string command;
    std::vector<std::string> positional;
    std::vector<std::string> rows;
    std::optional<std::string> dialect, port, udp, seconds;
    bool help = false;
    bool fast = false;
    bool noCheck = false;
    bool anyPort = false;
};

std::optional<Options> parse(const std::vector<std::string>& args, std::ostream& err) {
    Options o;
    if (args.empty()) return o;
    o.command = args[0];
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::optional<std::string>& into) {
            if (i + 1 >= args.size()) {
                err << "corvina-cli: " << a << " needs a value\n";
                return false;
            }
            into = args[++i];
            return true;
        };
        if (a == "--help" || a == "-h") o.help = true;
        else if (a == "--fast") o.fast = true;
        else if (a == "--no-check") o.noCheck = true;
        else if (a == "--any-port") o.anyPort = true;
        else if (a == "--dialect") { if (!value(o.dialect)) return std::nullopt; }
        else if (a == "--port") { if (!value(o.port)) return std::nullopt; }
        else if (a == "--udp") { if (!value(o.udp)) return std::nullopt; }
        else if (a == "--seconds") { if (!value(o.seconds)) return std::nullopt; }
        else if (a == "--row") {
            std::optional<std::string> row;
            if (!value(row)) return std::nullopt;
            o.rows.push_back(*row);
        } else if (a.size() > 1 && a[0] == '-') {
            err << "corvina-cli: unknown option " << a << "\n";
            return std::nullopt;
        } else {
            o.positional.push_back(a);
        }
    }
    return o;
}

std::optional<int> dialectOf(const Options& o, std::ostream& err) {
    if (!o.dialect) return DIALECT_JAM;
    for (int d = 0; d < kDialectCount; ++d)
        if (CardCatalog::dialect(d).name == *o.dialect) return d;
    err << "corvina-cli: unknown dialect '" << *o.dialect << "' (jam, latte or que)\n";
    return std::nullopt;
}

bool wholeNumber(const std::string& text, int& value) {
    if (text.empty() || text.size() > 9) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    value = std::stoi(text);
    return true;
}

std::optional<FieldDocument> readDocument(const std::string& path, std::ostream& err) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        err << "corvina-cli: cannot read the program " << path << "\n";
        return std::nullopt;
    }
    std::stringstream text;
    text << in.rdbuf();
    const std::string document = text.str();
    engine::Value root = engine::plist::parse(document);
    if (root.getType() != engine::Value::Type::VECTOR) {
        // An empty array is a program with no cards; anything else is not a program.
        if (document.find("<array/>") == std::string::npos && document.find("<array>") == std::string::npos) {
            err << "corvina-cli: " << path << " is not a saved program\n";
            return std::nullopt;
        }
        return FieldDocument{};
    }
    return documentFromValue(root.asValueVector());
}

// Points the link at the port or the module given; false with a message
// when neither or both are given.
bool chooseLink(const Options& o, std::ostream& err) {
    if (o.port.has_value() == o.udp.has_value()) {
        err << "corvina-cli: give either --port PATH or --udp HOST:PORT\n";
        return false;
    }
    CorvinaCardSerialManager* m = CorvinaCardSerialManager::getInstance();
    m->setPortEnumerator([] { return std::optional<std::vector<PortInfo>>(std::vector<PortInfo>{}); });
    if (o.port) {
        // Typing into the wrong device sets it raw and sends it a program:
        // only a board's kind of port, unless asked; never the console.
        const NamedPort kind = classifyNamedPort(*o.port, systemRoot());
        if (kind == NamedPort::Console) {
            err << "corvina-cli: " << *o.port << " is this computer's console, not a board\n";
            return false;
        }
        if (kind == NamedPort::Other && !o.anyPort) {
            err << "corvina-cli: " << *o.port
                << " is not a USB or Bluetooth serial port; give --any-port to use it anyway\n";
            return false;
        }
        m->setExplicitPort(*o.port);
    } else {
        const std::string& hp = *o.udp;
        const size_t colon = hp.rfind(':');
        int port = 0;
        if (colon == std::string::npos || !wholeNumber(hp.substr(colon + 1), port) || port <= 0 || port > 65535) {
            err << "corvina-cli: --udp wants HOST:PORT, for example 192.168.20.1:20001\n";
            return false;
        }
        UdpSettings udp = m->getUdpSettings();
        udp.host = hp.substr(0, colon);
        udp.port = port;
        m->setUdpSettings(udp);
    }
    m->scanPorts({});
    // The explicit port comes first; the Wi-Fi entry after the ports.
    const auto devices = m->getDevices();
    int chosen = 0;
    for (size_t i = 0; i < devices.size(); ++i)
        if (devices[i].linkKind == (o.port ? Serial : Udp)) {
            chosen = static_cast<int>(i);
            break;
        }
    m->setSelectedIndex(chosen);
    m->activateSelected({});
    return true;
}

int commandPorts(std::ostream& out, std::ostream& err) {
    CorvinaCardSerialManager* m = CorvinaCardSerialManager::getInstance();
    if (!m->scanPorts({})) err << "corvina-cli: the list of serial ports could not be read\n";
    const auto devices = m->getDevices();
    for (const auto& d : devices)
        out << (d.active ? "* " : "  ") << d.portName << " [ " << d.description << " ]\n";
    return kCliOk;
}

int commandNew(const Options& o, std::ostream& err) {
    if (o.positional.size() != 1) {
        err << kCommandHelp.at("new");
        return kCliUsage;
    }
    FieldDocument doc;
    std::vector<bool> taken(field_geometry::kRowCount, false);
    for (const std::string& given : o.rows) {
        std::vector<std::string> parts;
        std::stringstream in(given);
        for (std::string part; std::getline(in, part, ':');) parts.push_back(part);
        int row = 0, set = 0, index = 0;
        if ((parts.size() != 3 && parts.size() != 4) || !wholeNumber(parts[0], row) || !wholeNumber(parts[1], set) ||
            !wholeNumber(parts[2], index)) {
            err << "corvina-cli: --row wants N:SET:INDEX[:NUMBER], got '" << given << "'\n";
            return kCliUsage;
        }
        if (row >= field_geometry::kRowCount || set >= kCardSetCount || index >= CardCatalog::cardCount(set)) {
            err << "corvina-cli: no such row or card: '" << given << "' (rows 0 to 39, sets 0 to 2)\n";
            return kCliUsage;
        }
        if (taken[static_cast<size_t>(row)]) {
            err << "corvina-cli: row " << row << " is given twice\n";
            return kCliUsage;
        }
        taken[static_cast<size_t>(row)] = true;
        const engine::Vec2 at = field_geometry::cardCentreOnRow(row, 768);
        CardRecord r;
        r.tab = set;
        r.index = index;
        r.x = truncateCoordinate(at.x);
        r.y = truncateCoordinate(at.y);
        r.zorder = static_cast<int>(doc.size()) + 1;
        r.value = parts.size() == 4 ? parts[3] : "";
        doc.push_back(r);
    }
    std::optional<std::string> text = engine::plist::write(documentToValue(doc));
    std::ofstream file(o.positional[0], std::ios::binary | std::ios::trunc);
    if (!text || !file || !(file << *text) || !file.flush()) {
        err << "corvina-cli: cannot write " << o.positional[0] << "\n";
        return kCliDocument;
    }
    return kCliOk;
}

// The user's message for a refused program, in the tool's language.
int refused(const TransferOutcome& outcome, std::ostream& err) {
    const RefusalText text = refusalText(outcome);
    err << "corvina-cli: " << Localization::getInstance()->localizedText(text.japanese, text.english) << "\n";
    return kCliRefused;
}

int commandRender(const Options& o, std::ostream& out, std::ostream& err) {
    if (o.positional.size() != 1) {
        err << kCommandHelp.at("render");
        return kCliUsage;
    }
    std::optional<int> dialect = dialectOf(o, err);
    if (!dialect) return kCliUsage;
    std::optional<FieldDocument> doc = readDocument(o.positional[0], err);
    if (!doc) return kCliDocument;
    ByteCollector bytes;
    const TransferOutcome outcome = transferProgram(snapshotFromDocument(*doc), *dialect, bytes);
    if (outcome.refused()) return refused(outcome, err);
    out.write(bytes.bytes.data(), static_cast<std::streamsize>(bytes.bytes.size()));
    out.flush();
    return kCliOk;
}

int openFailed(const CorvinaAppsError& error, std::ostream& err) {
    err << "corvina-cli: " << (error.message.empty() ? std::string("the link could not be opened") : error.message)
        << "\n";
    return kCliLink;
}

int commandSend(const Options& o, std::ostream& out, std::ostream& err) {
    if (o.positional.size() != 1) {
        err << kCommandHelp.at("send");
        return kCliUsage;
    }
    std::optional<int> dialect = dialectOf(o, err);
    if (!dialect) return kCliUsage;
    std::optional<FieldDocument> doc = readDocument(o.positional[0], err);
    if (!doc) return kCliDocument;
    // Refused before the port is looked at: status 5 whatever the port.
    if (const TransferOutcome refusal = refusalOf(snapshotFromDocument(*doc), *dialect); refusal.refused())
        return refused(refusal, err);
    if (!chooseLink(o, err)) return kCliUsage;
    const TypingPace pace = o.fast ? TypingPace::Fast : TypingPace::Normal;
    if (o.fast && !paceChangesDialect(pace, *dialect))
        err << "corvina-cli: --fast changes nothing in " << CardCatalog::dialect(*dialect).name
            << ", which keeps its own pace\n";
    CorvinaCardSerialManager* m = CorvinaCardSerialManager::getInstance();
    CorvinaAppsError error;
    if (!m->openLink(&error)) return openFailed(error, err);
    std::atomic<bool> never{false};
    size_t typed = 0;
    LinkProgramOutput output(TypingContext{m, &never,
                                           [&](char c) {
                                               ++typed;
                                               err << c << std::flush;
                                           },
                                           &realPacingClock()},
                             [&err](const std::string& line) { err << line << std::flush; }, !o.noCheck);
    const TransferOutcome outcome = transferProgram(snapshotFromDocument(*doc), *dialect, output, pace);
    m->closeLink();
    if (outcome.refused()) return refused(outcome, err);
    switch (outcome.kind) {
    case TransferOutcome::Sent:
        err << "\ncorvina-cli: sent (" << typed << " characters shown)\n" << checkSummary(outcome.check) << "\n";
        out.flush();
        return kCliOk;
    case TransferOutcome::CheckFailed:
        err << "\ncorvina-cli: "
            << Localization::getInstance()->localizedText(checkText(outcome.check).japanese,
                                                          checkText(outcome.check).english)
            << "\n"
            << checkSummary(outcome.check) << "\n";
        return kCliCheckFailed;
    default:
        err << "\ncorvina-cli: " << output.error.message << " The program was not sent completely.\n";
        return kCliTransfer;
    }
}

// The longest run simulate takes: an hour of the program's time.
constexpr double kLongestSimulation = 3600;

// Seconds as digits with at most one decimal point.
std::optional<long> simulatedMs(const Options& o, std::ostream& err) {
    if (!o.seconds) return 10000;
    const std::string& text = *o.seconds;
    const bool digitsAndPoint = !text.empty() && text.find_first_not_of("0123456789.") == std::string::npos &&
                                text.find('.') == text.rfind('.') && text != ".";
    const double seconds = digitsAndPoint ? std::strtod(text.c_str(), nullptr) : -1;
    if (seconds < 0 || seconds > kLongestSimulation) {
        err << "corvina-cli: --seconds wants a number of seconds from 0 to 3600, got '" << text << "'\n";
        return std::nullopt;
    }
    return std::lround(seconds * 1000);
}

int commandSimulate(const Options& o, std::ostream& out, std::ostream& err) {
    if (o.positional.size() != 1) {
        err << kCommandHelp.at("simulate");
        return kCliUsage;
    }
    std::optional<int> dialect = dialectOf(o, err);
    if (!dialect) return kCliUsage;
    if (*dialect != DIALECT_JAM && *dialect != DIALECT_LATTE) {
        err << "corvina-cli: the simulated board speaks jam and latte, not " << CardCatalog::dialect(*dialect).name
            << "\n";
        return kCliUsage;
    }
    const std::optional<long> runMs = simulatedMs(o, err);
    if (!runMs) return kCliUsage;
    std::optional<FieldDocument> doc = readDocument(o.positional[0], err);
    if (!doc) return kCliDocument;
    const sim::Simulation run = sim::simulate(snapshotFromDocument(*doc), *dialect, *runMs);
    if (run.outcome.refused()) return refused(run.outcome, err);
    for (const sim::TraceEvent& event : run.trace) out << event.ms << " " << event.text << "\n";
    out.flush();
    if (run.droppedEvents > 0)
        err << "corvina-cli: the program did more than " << sim::BoardSimulator::kTraceLimit
            << " things; the rest is not shown\n";
    return kCliOk;
}

int commandStop(const Options& o, std::ostream& err) {
    std::optional<int> dialect = dialectOf(o, err);
    if (!dialect) return kCliUsage;
    if (!chooseLink(o, err)) return kCliUsage;
    CorvinaCardSerialManager* m = CorvinaCardSerialManager::getInstance();
    CorvinaAppsError error;
    if (!m->openLink(&error)) return openFailed(error, err);
    std::atomic<bool> never{false};
    TypingContext context{m, &never, {}, &realPacingClock()};
    const bool ok = runStopSequence(context, *dialect, error);
    m->closeLink();
    if (!ok) {
        err << "corvina-cli: " << error.message << "\n";
        return kCliTransfer;
    }
    return kCliOk;
}

int commandDoctor(const Options& o, std::ostream& out, std::ostream& err) {
    if (!o.positional.empty() || o.udp || o.dialect) {
        err << "corvina-cli: wrong arguments\n" << kCommandHelp.at("doctor");
        return kCliUsage;
    }
    const bool japanese = Localization::getInstance()->getLanguage() == engine::LanguageType::JAPANESE;
    for (const DoctorLine& line : examineSystem(DoctorSystem::current())) out << doctorLineText(line, japanese) << "\n";
    std::optional<std::string> version;
    CorvinaAppsError error;
    if (o.port) {
        if (!chooseLink(o, err)) return kCliUsage;
        CorvinaCardSerialManager* m = CorvinaCardSerialManager::getInstance();
        if (m->openLink(&error)) {
            std::atomic<bool> never{false};
            TypingContext context{m, &never, {}, &realPacingClock()};
            version = askBoardVersion(context, error);
        }
        m->closeLink();
    }
    out << doctorLineText(boardAnswerLine(o.port.value_or(""), version, error), japanese) << "\n";
    out.flush();
    return version ? kCliOk : kCliLink;
}

} // namespace

int runCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    // Messages in Japanese on a Japanese desktop, as in the editor.
    const char* lang = std::getenv("LANG");
    Localization::getInstance()->configure(
        lang && engine::languageFromLocaleName(lang) == engine::LanguageType::JAPANESE ? engine::LanguageType::JAPANESE
                                                                                       : engine::LanguageType::ENGLISH,
        {});
    std::optional<Options> o = parse(args, err);
    if (!o) return kCliUsage;
    if (o->command.empty() || o->command == "--help" || o->command == "-h" || o->command == "help") {
        (o->command.empty() ? err : out) << kUsage;
        return o->command.empty() ? kCliUsage : kCliOk;
    }
    const std::string* helpText = nullptr;
    for (const auto* helps : {&kCommandHelp, &kProgramHelp})
        if (auto found = helps->find(o->command); found != helps->end()) helpText = &found->second;
    if (!helpText) {
        err << "corvina-cli: unknown command '" << o->command << "'\n" << kUsage;
        return kCliUsage;
    }
    if (o->help) {
        out << *helpText;
        return kCliOk;
    }
    if (o->anyPort && o->command != "send" && o->command != "stop" && o->command != "doctor") {
        err << "corvina-cli: --any-port is an option of send, stop and doctor\n" << *helpText;
        return kCliUsage;
    }
    if ((o->fast || o->noCheck) && o->command != "send") {
        err << "corvina-cli: " << (o->fast ? "--fast" : "--no-check") << " is an option of send\n" << *helpText;
        return kCliUsage;
    }
    if (o->seconds && o->command != "simulate") {
        err << "corvina-cli: --seconds is an option of simulate\n" << *helpText;
        return kCliUsage;
    }
    if (o->command == "ports") return commandPorts(out, err);
    if (o->command == "new") return commandNew(*o, err);
    if (o->command == "render") return commandRender(*o, out, err);
    if (o->command == "send") return commandSend(*o, out, err);
    if (o->command == "simulate") return commandSimulate(*o, out, err);
    if (o->command == "doctor") return commandDoctor(*o, out, err);
    if (kProgramHelp.count(o->command)) {
        const size_t wanted = o->command == "list" ? 0 : o->command == "export" ? 2 : o->command == "copy" ? 1 : 0;
        const bool fits = o->command == "import" ? !o->positional.empty() : o->positional.size() == wanted;
        if (!fits || o->dialect || o->port || o->udp || !o->rows.empty()) {
            err << "corvina-cli: wrong arguments\n" << *helpText;
            return kCliUsage;
        }
        if (o->command == "list") return commandList(out, err);
        if (o->command == "export") return commandExport(o->positional, err);
        if (o->command == "import") return commandImport(o->positional, out, err);
        return commandCopy(o->positional, out, err);
    }
    return commandStop(*o, err);
}
