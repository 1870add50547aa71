// A pty pair whose master side plays a scripted device: it waits for a request, then sends
// its answer in timed pieces (or hangs up), so the link is tested over a real tty.
#pragma once

#include <atomic>
#include <string>
#include <thread>
#include <vector>

class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;
    int master() const { return master_; }
    const std::string& slavePath() const { return slave_; }
    void closeMaster();

private:
    int master_ = -1;
    std::string slave_;
};

struct PeerStep {
    int delayMs = 0;
    std::string bytes;
    bool hangUp = false;  // close the master side instead of sending
};

class ScriptedPeer {
public:
    // Waits for `requestBytes` bytes of request (0: none), then plays the steps.
    ScriptedPeer(PtyPair& pty, std::vector<PeerStep> steps, size_t requestBytes);
    ~ScriptedPeer();
    std::string request() const;  // what the peer read (valid after join)
    void join();

private:
    PtyPair& pty_;
    std::vector<PeerStep> steps_;
    size_t requestBytes_;
    std::string request_;
    std::thread thread_;
};

std::string bytesOf(std::initializer_list<int> v);
