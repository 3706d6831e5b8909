#include "catalogue/DocumentWriter.h"

#include "engine/core/FileUtils.h"

DocumentWriter::DocumentWriter(Outcome outcome) : _outcome(std::move(outcome)) {
    _thread = std::thread([this] { run(); });
}

DocumentWriter::~DocumentWriter() {
    {
        std::lock_guard<std::mutex> lock(_mutex);
        _stopping = true;
    }
    _wake.notify_all();
    _thread.join();
}

void DocumentWriter::write(std::string path, engine::ValueVector document) {
    {
        std::lock_guard<std::mutex> lock(_mutex);
        // Only the last job may be replaced: one further up has later
        // writes behind it that rely on it being on the disk first.
        if (!_queue.empty() && _queue.back().path == path) _queue.back().document = std::move(document);
        else _queue.push_back(Job{std::move(path), std::move(document)});
    }
    _wake.notify_one();
}

void DocumentWriter::forget(const std::string& path) {
    std::unique_lock<std::mutex> lock(_mutex);
    for (auto it = _queue.begin(); it != _queue.end();) it = it->path == path ? _queue.erase(it) : it + 1;
    _idle.wait(lock, [&] { return !_busy || _writing != path; });
}

void DocumentWriter::waitUntilIdle() {
    std::unique_lock<std::mutex> lock(_mutex);
    _idle.wait(lock, [&] { return _queue.empty() && !_busy; });
}

size_t DocumentWriter::pending() const {
    std::lock_guard<std::mutex> lock(_mutex);
    return _queue.size() + (_busy ? 1 : 0);
}

void DocumentWriter::run() {
    std::unique_lock<std::mutex> lock(_mutex);
    for (;;) {
        _wake.wait(lock, [&] { return _stopping || !_queue.empty(); });
        // Stopping still writes what was asked for: quitting must not lose a drop.
        if (_queue.empty()) return;
        Job job = std::move(_queue.front());
        _queue.pop_front();
        _busy = true;
        _writing = job.path;
        lock.unlock();
        const bool written = engine::FileUtils::getInstance()->writeValueVectorToFile(job.document, job.path);
        if (_outcome) _outcome(job.path, written);
        lock.lock();
        _busy = false;
        _writing.clear();
        _idle.notify_all();
    }
}
