#include "refusal_log.h"

#include <utility>

bool RefusalLog::Refused(const QHostAddress& source)
{
    if (reported_.contains(source))
        return false; // said once already
    if (reported_.size() < addressLimit_) {
        reported_.insert(source);
        return true;
    }
    ++unreportedConnections_;
    if (unreported_.size() < kMaxAddressesPerSummary)
        unreported_.insert(source);
    return false;
}

RefusalLog::Summary RefusalLog::TakeSummary()
{
    const Summary summary{std::exchange(unreportedConnections_, 0), int(unreported_.size())};
    unreported_.clear();
    return summary;
}
