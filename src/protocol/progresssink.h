#pragma once

// How a service call running on a worker thread reports what it is doing. The progress dialog
// implements it by posting to the user-interface thread; calls must not block for long.

#include <cstdint>
#include <string_view>

namespace protocol {

class ProgressSink
{
public:
    virtual ~ProgressSink() = default;

    // The item being worked on (a server or local path).
    virtual void itemText(std::string_view text) = 0;
    // The current activity, as the number of a string of the language module (2031-2035).
    virtual void statusText(int stringId) = 0;
    // The total of the item progress bar (bytes of the file, or 1 for a lock operation).
    virtual void subTotal(std::int64_t total) = 0;
    // Bytes done so far.
    virtual void subPosition(std::int64_t position) = 0;
};

} // namespace protocol
