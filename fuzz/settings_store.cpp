// libFuzzer target: any bytes as a settings store file; a store that parses must read back
// identically after formatting.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/SettingsStore.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    tonvela::CSettingsStore::Keys keys;
    if (!tonvela::CSettingsStore::Parse(text, keys)) return 0;
    tonvela::CSettingsStore::Keys again;
    if (!tonvela::CSettingsStore::Parse(tonvela::CSettingsStore::Format(keys), again) || again != keys)
        std::abort();  // what we write must read back as what we had
    return 0;
}
