#pragma once
// One input of the Access-values fuzzer, shared with the corpus replay: the
// first byte picks the reader, the rest are the bytes it reads. Readers of
// the newer Access formats must say "damaged" or give a value, never read
// outside the bytes, loop or crash.

#include "platform/db/accdb_encryption.h"
#include "platform/db/ace_values.h"

#include <cstring>
#include <map>
#include <string>

namespace fuzzcase {

enum AccessReader : unsigned char {
    kCalculatedValue = 0, // a wrapped value, then its data as a decimal
    kExtendedDate = 1,
    kPropertyBlob = 2,
    kEncryptionHeader = 3, // a provider blob, placed in a page 0
};

inline void ReadAccessValue(const std::string& input) {
    if (input.empty()) return;
    const std::string_view bytes = std::string_view(input).substr(1);
    switch (static_cast<unsigned char>(input[0]) % 4) {
    case kCalculatedValue:
        if (const auto data = db::ace::UnwrapCalculated(bytes)) {
            if (data->data() < bytes.data() ||
                data->data() + data->size() > bytes.data() + bytes.size())
                __builtin_trap();
            db::ace::CalculatedDecimalText(*data);
        }
        db::ace::CalculatedDecimalText(bytes);
        break;
    case kExtendedDate:
        db::ace::ReadExtendedDateTime(bytes);
        break;
    case kPropertyBlob: {
        std::map<std::string, int> types;
        db::ace::ReadResultTypes(bytes, types);
        break;
    }
    case kEncryptionHeader: {
        std::string page(db::jet::kAccdbPageSize, '\0');
        const std::size_t length = std::min<std::size_t>(bytes.size(), 0xFFFF);
        page[0x299] = static_cast<char>(length & 0xFF);
        page[0x29A] = static_cast<char>(length >> 8);
        page.replace(0x29B, std::min(length, page.size() - 0x29B), bytes.substr(0, length));
        try {
            auto decryptor = db::jet::ReadAccdbEncryption(page, 0x1234);
            // An agile key spins up to ten million times by design: only the
            // other schemes' keys are derived here.
            if (std::strcmp(decryptor->Scheme(), "agile AES") != 0 &&
                decryptor->Unlock("password")) {
                unsigned char sample[db::jet::kAccdbPageSize] = {};
                decryptor->DecryptPage(7, sample, sizeof sample);
            }
        } catch (const db::jet::EncryptionHeaderError&) {
        }
        break;
    }
    }
}

} // namespace fuzzcase
