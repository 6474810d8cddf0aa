// Feeds arbitrary registry replies to the trimming and decoding of a value: a type code, a byte
// count and up to 1024 bytes of data. Nothing may read outside the buffer; a refused reply is an
// exception, never undefined behaviour.
#include "about/sysinfo.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <stdexcept>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 8)
        return 0;
    std::uint32_t typeCode = 0;
    std::uint32_t byteCount = 0;
    std::memcpy(&typeCode, data, 4);
    std::memcpy(&byteCount, data + 4, 4);
    // The buffer is exactly as large as the one the launcher hands to the registry.
    std::array<char, 1024> buffer{};
    const std::size_t length = std::min(size - 8, buffer.size());
    std::memcpy(buffer.data(), data + 8, length);
    try {
        const QByteArray trimmed = registry::trimRegistryData(buffer, byteCount);
        if (trimmed.size() > qsizetype(byteCount))
            std::abort();
        (void)registry::registryValueText(typeCode % 8, trimmed);
    } catch (const std::invalid_argument&) {
    } catch (const std::overflow_error&) {
    }
    return 0;
}
