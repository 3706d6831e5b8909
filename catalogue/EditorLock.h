#pragma once
// One editor per data folder. Two editors would each keep the catalogue in
// memory and write it whole, and the programs of one would vanish from the
// list of the other. The editor holds an flock on "editor.lock" in the data
// folder for its whole run, so the lock ends with the process, however it
// ends. The running editor also listens for a word from a second start, to
// bring its window to the front.
#include <string>

class EditorLock {
public:
    enum class State {
        Held,           // this process holds it
        HeldElsewhere,  // another editor runs on this folder
        Unsupported,    // the folder cannot be locked: the editor starts as if alone
    };

    // Tries to take the lock for `folder` (a data folder, made when missing).
    explicit EditorLock(const std::string& folder);
    ~EditorLock();
    EditorLock(const EditorLock&) = delete;
    EditorLock& operator=(const EditorLock&) = delete;

    State state() const { return _state; }
    // Held: whether a second start has asked for the window since the last
    // call. Never blocks.
    bool windowWanted();
    // HeldElsewhere: asks the editor holding the lock to show its window;
    // false when no word reaches it.
    bool askForWindow() const;

    // Whether an editor holds the lock of `folder` now, for the
    // command-line tool, which must not change the catalogue under it.
    static bool heldByAnother(const std::string& folder);

private:
    std::string _folder;
    State _state = State::Unsupported;
    int _lockFd = -1;
    int _wakeFd = -1;
};
