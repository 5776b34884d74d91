// Lays arbitrary bytes over the settings record: the texts always stay terminated inside their
// fields and the record encodes back to the bytes it was decoded from.
#include "files/settings_file.h"

#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qm::SettingsRecord record{};
    qm::decode_settings({data, size}, record);
    if (std::memchr(record.initial_folder, 0, sizeof record.initial_folder) == nullptr ||
        std::memchr(record.last_file_name, 0, sizeof record.last_file_name) == nullptr) {
        std::abort();
    }
    const qm::SettingsBytes bytes = qm::encode_settings(record);
    qm::SettingsRecord again{};
    qm::decode_settings(bytes, again);
    if (qm::encode_settings(again) != bytes) {
        std::abort();
    }
    return 0;
}
