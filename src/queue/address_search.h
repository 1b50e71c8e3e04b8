#pragma once

#include "queue/queue_item.h"

#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace zorvan {

// Finding a work again whose address expired: its performer is listed
// again on a worker of its own, so the queue's thread never waits for the
// service.
class AddressSearch {
public:
    using Finder = std::function<std::string(const Work&)>;
    AddressSearch(const Finder& finder, const Work& work);
    // Stops the worker (its listing requests end at once) and joins it.
    ~AddressSearch();
    AddressSearch(const AddressSearch&) = delete;
    AddressSearch& operator=(const AddressSearch&) = delete;

    bool ready() const;
    // The address found (empty: none); only once ready.
    std::string address() const;

private:
    mutable std::mutex lock_;
    bool done_ = false;
    std::string address_;
    std::jthread worker_;  // last: it starts once the rest is made
};

// A part file left by the download of `oldAddress` is taken up by the same
// work at `newAddress`: its record names the new one (the engine still
// checks size and version with the server). False when there is no such
// record.
bool moveRecordAddress(const std::string& path, const std::string& oldAddress, const std::string& newAddress);

}  // namespace zorvan
