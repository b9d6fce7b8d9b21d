#pragma once
// Which refused connections are reported: each address once, up to a limit
// of addresses, so a scanner cannot flood the log; beyond it, refusals are
// only counted, for a summary line now and then.

#include <QHostAddress>
#include <QSet>

class RefusalLog {
public:
    static constexpr int kDefaultAddressLimit = 1024;
    // Distinct addresses counted for one summary; beyond this a summary
    // counts the connections only, and memory stays bounded.
    static constexpr int kMaxAddressesPerSummary = 65536;

    struct Summary {
        int connections = 0;
        int addresses = 0;
        bool operator==(const Summary&) const = default;
    };

    explicit RefusalLog(int addressLimit = kDefaultAddressLimit) : addressLimit_(addressLimit) {}
    void SetAddressLimit(int addressLimit) { addressLimit_ = addressLimit; }

    // A connection from `source` was refused. True when it is to be reported
    // on its own: the first from its address, while under the limit.
    bool Refused(const QHostAddress& source);
    // Refusals counted, not reported, since the last summary.
    bool HasUnreported() const { return unreportedConnections_ > 0; }
    // The refusals counted since the last summary; counting starts again
    // from zero.
    Summary TakeSummary();

private:
    int addressLimit_;
    QSet<QHostAddress> reported_;
    QSet<QHostAddress> unreported_; // since the last summary
    int unreportedConnections_ = 0;
};
