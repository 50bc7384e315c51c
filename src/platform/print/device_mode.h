#pragma once
// The settings of one printer that a print job uses, laid out like the
// Windows device-mode block: a field is only meaningful when its flag is set.

#include <cstdint>

namespace print {

enum DeviceModeField : uint32_t {
    DM_ORIENTATION = 0x00000001,
    DM_PAPERSIZE = 0x00000002,
    DM_PAPERLENGTH = 0x00000004,
    DM_PAPERWIDTH = 0x00000008,
    DM_COPIES = 0x00000100,
    DM_DEFAULTSOURCE = 0x00000200,
    DM_PRINTQUALITY = 0x00000400,
    DM_YRESOLUTION = 0x00002000,
};

inline constexpr int16_t DMORIENT_PORTRAIT = 1;
inline constexpr int16_t DMORIENT_LANDSCAPE = 2;

struct DeviceMode {
    uint32_t fields = 0;
    int16_t orientation = DMORIENT_PORTRAIT;
    int16_t paperSize = 0;   // Windows paper code, 256 for a custom size
    int16_t paperLength = 0; // tenths of a millimetre
    int16_t paperWidth = 0;  // tenths of a millimetre
    int16_t copies = 1;
    int16_t defaultSource = 0; // paper source code
    int16_t printQuality = 0;  // horizontal dots per inch
    int16_t yResolution = 0;   // vertical dots per inch

    bool operator==(const DeviceMode&) const = default;
};

} // namespace print
