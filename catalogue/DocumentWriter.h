#pragma once
// Writes program documents on one thread of its own, so a save after every
// drop never holds up a frame: the atomic write with its syncs takes
// milliseconds. Writes run in the order asked for; a newer document for the
// file at the end of the queue takes the place of the one still waiting
// there, so a quick run of drops costs one or two writes, never a backlog.
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "engine/core/Value.h"

class DocumentWriter {
public:
    // Told on the writer's thread after each write, with its path and outcome.
    using Outcome = std::function<void(const std::string& path, bool written)>;

    explicit DocumentWriter(Outcome outcome);
    ~DocumentWriter();  // finishes every write asked for
    DocumentWriter(const DocumentWriter&) = delete;
    DocumentWriter& operator=(const DocumentWriter&) = delete;

    void write(std::string path, engine::ValueVector document);
    // Drops the writes of `path` still waiting and waits for one under way,
    // so the file can be removed without a write bringing it back.
    void forget(const std::string& path);
    // Returns once every write asked for so far has ended.
    void waitUntilIdle();
    // Writes asked for and not ended yet.
    size_t pending() const;

private:
    struct Job {
        std::string path;
        engine::ValueVector document;
    };
    void run();

    Outcome _outcome;
    mutable std::mutex _mutex;
    std::condition_variable _wake;
    std::condition_variable _idle;
    std::deque<Job> _queue;
    std::string _writing;  // path of the write under way, "" when none
    bool _busy = false;
    bool _stopping = false;
    std::thread _thread;
};
