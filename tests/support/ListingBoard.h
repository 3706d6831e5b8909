#pragma once
// The board as a checked transfer meets it: numbered lines are stored (a
// number alone deletes its line), a line without a number prints "OK", and
// LIST prints "<number> <text>" lines and "OK", pausing 40 frames after each
// full screen of 23 rows of 32 characters. Keys are not echoed. A chosen key
// can be lost, as on a cheap cable.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "device/Link.h"

namespace testsupport {

class ListingBoardModel {
public:
    // What the board prints, each piece after a pause in milliseconds.
    using Printed = std::vector<std::pair<int, std::string>>;

    // The key typed right after a line begins with `prefix` is lost, the
    // first `times` times.
    void loseKeyAfter(std::string prefix, int times)
    {
        _losePrefix = std::move(prefix);
        _loseTimes = times;
    }

    Printed key(char c)
    {
        if (!_losePrefix.empty() && _loseTimes > 0 && !_lostInLine && _line == _losePrefix && c != '\r' &&
            c != '\n') {
            --_loseTimes;
            ++lost;
            _lostInLine = true;
            return {};
        }
        received += c;
        if (c != '\r' && c != '\n') {
            _line += c;
            return {};
        }
        _lostInLine = false;
        std::string line;
        line.swap(_line);
        if (line.empty() || silent)
            return {};
        if (line[0] >= '0' && line[0] <= '9') {
            size_t digits = line.find_first_not_of("0123456789");
            const int number = std::stoi(line.substr(0, digits));
            const size_t text = digits == std::string::npos ? digits : line.find_first_not_of(' ', digits);
            if (text == std::string::npos)
                program.erase(number);
            else
                program[number] = line.substr(text);
            return {};
        }
        if (line == "RUN" && !afterRun.empty())
            return afterRun;
        if (line == "?VER()" && !version.empty())
            return {{0, version + "\r\nOK\r\n"}};
        if (line != "LIST")
            return {{0, line == "NEW" || line == "OUT0" || line == "SAVE 0" || line == "RUN" ? "OK\r\n"
                                                                                               : "Syntax error\r\n"}};
        Printed printed;
        int rows = 0, pause = 0;
        for (const auto& [number, text] : program) {
            const std::string listed = std::to_string(number) + " " + text;
            printed.push_back({pause, listed + "\r\n"});
            pause = 0;
            rows += static_cast<int>((listed.size() + 31) / 32);
            if (rows >= 23) {
                rows = 0;
                pause = 667;
            }
        }
        printed.push_back({0, "OK\r\n"});
        return printed;
    }

    std::map<int, std::string> program;  // number -> text after it
    std::string received;                // the keys that arrived
    int lost = 0;
    bool silent = false;                 // never prints anything
    Printed afterRun;                    // what the program prints once RUN starts it
    std::string version;                 // what ?VER() prints; empty: a syntax error

private:
    std::string _line;
    bool _lostInLine = false;  // one key a line at most
    std::string _losePrefix;
    int _loseTimes = 0;
};

// The model behind a link in memory: what it prints is read at once, its
// pauses not waited for.
class ListingBoardLink : public Link {
public:
    explicit ListingBoardLink(ListingBoardModel& model) : _model(model) {}
    bool writeByte(std::uint8_t byte, const std::atomic<bool>*) override
    {
        std::lock_guard<std::mutex> lock(_mutex);
        for (const auto& piece : _model.key(static_cast<char>(byte)))
            _printed += piece.second;
        return true;
    }
    bool readAvailable(std::string& into) override
    {
        std::lock_guard<std::mutex> lock(_mutex);
        into += _printed;
        _printed.clear();
        return true;
    }
    bool canAnswer() const override { return true; }
    std::string describe() const override { return "listing board"; }

private:
    ListingBoardModel& _model;
    std::mutex _mutex;
    std::string _printed;
};

// The model on a pty, in real time: the serial link opens `path`.
class ListingPtyBoard {
public:
    explicit ListingPtyBoard(ListingBoardModel& model) : _model(model)
    {
        _master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (_master < 0 || grantpt(_master) != 0 || unlockpt(_master) != 0)
            return;
        path = ptsname(_master);
        _thread = std::thread([this] { serve(); });
    }
    ~ListingPtyBoard()
    {
        _stop = true;
        if (_thread.joinable())
            _thread.join();
        if (_master >= 0)
            ::close(_master);
    }
    // Looks at or changes the board between sends, its keys settled.
    template <typename Action>
    void with(Action action)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::lock_guard<std::mutex> lock(_mutex);
        action(_model);
    }
    // Every key that arrived, once the board has been idle a moment.
    std::string received()
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::lock_guard<std::mutex> lock(_mutex);
        return _model.received;
    }

    std::string path;

private:
    void serve()
    {
        while (!_stop) {
            pollfd p{_master, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            char c;
            if (::read(_master, &c, 1) != 1) {
                // The far end is closed between sends.
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                continue;
            }
            ListingBoardModel::Printed printed;
            {
                std::lock_guard<std::mutex> lock(_mutex);
                printed = _model.key(c);
            }
            for (const auto& [pause, text] : printed) {
                std::this_thread::sleep_for(std::chrono::milliseconds(pause));
                if (::write(_master, text.data(), text.size()) < 0)
                    break;
            }
        }
    }

    ListingBoardModel& _model;
    int _master = -1;
    std::mutex _mutex;
    std::atomic<bool> _stop{false};
    std::thread _thread;
};

} // namespace testsupport
