// Any bytes as a reversedns.dat: loading must never crash, read out of bounds or allocate from
// a count it has not checked, and whatever it keeps must save and load back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "engine/host_cache.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tw::engine::HostNameCache cache;
    cache.deserialise(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::string saved = cache.serialise();
    tw::engine::HostNameCache again;
    // Chains may come back in another order, so the bytes are compared by length only.
    if (!again.deserialise(saved) || again.size() != cache.size() ||
        again.serialise().size() != saved.size())
        std::abort();
    return 0;
}
