#pragma once
// A pipelining client for the benchmark: keeps up to `depth` unanswered
// `F <freq>` requests in flight on one loopback connection, each to a new
// frequency, while a reader thread counts the replies.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

class FloodClient {
public:
    explicit FloodClient(int depth = 200) : depth_(depth) {}
    ~FloodClient();
    FloodClient(const FloodClient&) = delete;
    FloodClient& operator=(const FloodClient&) = delete;

    bool connectTo(int port);
    // Starts the writer and reader threads.
    void start();
    // Stops sending, then waits until every request has its reply, no reply
    // has come for `quiet`, or `bound` has passed. True if all were answered.
    bool drain(std::chrono::milliseconds quiet, std::chrono::milliseconds bound);
    // Stops both threads and closes the connection.
    void close();

    long sent() const { return sent_; }
    long ok() const { return ok_; }         // "RPRT 0"
    long refused() const { return refused_; } // "RPRT -n"
    long other() const { return other_; }   // any other line
    long unanswered() const { return sent_ - ok_ - refused_; }
    bool closedByServer() const { return closedByServer_; }

private:
    void writeLoop();
    void readLoop();
    long answeredLocked() const { return ok_ + refused_; }

    const int depth_;
    int fd_ = -1;
    std::thread writer_, reader_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool sending_ = false; // guarded by mutex_
    std::atomic<bool> reading_{false};
    std::atomic<bool> closedByServer_{false};
    std::atomic<long> sent_{0}, ok_{0}, refused_{0}, other_{0};
};
