// Fixed byte offsets of the playlist fields the readers use. The offsets
// inside the first play item and its stream table are where they fall when the
// play list begins at byte 58 and the first play item is not multi-angle.
#pragma once

#include <cstdint>

namespace dp::mpls {

inline constexpr std::uint64_t kMarkTableAddress = 12;  // PlayListMark_start_address
inline constexpr std::uint64_t kExtensionAddress = 16;  // ExtensionData_start_address
inline constexpr std::uint64_t kFirstClipName = 70;     // 5 characters
inline constexpr std::uint64_t kClipNameLength = 5;
inline constexpr std::uint64_t kFirstInTime = 82;   // 45 kHz
inline constexpr std::uint64_t kFirstOutTime = 86;  // 45 kHz
inline constexpr std::uint64_t kVideoEntryCount = 106;
inline constexpr std::uint64_t kAudioEntryCount = 107;
inline constexpr std::uint64_t kPgEntryCount = 108;
inline constexpr std::uint64_t kFirstStreamEntry = 118;
inline constexpr std::uint64_t kStreamEntrySize = 16;
inline constexpr std::uint64_t kEntryPid = 2;   // 2 bytes inside an entry
inline constexpr std::uint64_t kMarkCount = 4;  // after the table's length
inline constexpr std::uint64_t kFirstMark = 6;
inline constexpr std::uint64_t kMarkSize = 14;
inline constexpr std::uint64_t kMarkType = 1;        // inside a mark
inline constexpr std::uint8_t kEntryMark = 1;        // mark_type of a chapter
inline constexpr std::uint64_t kFirstPlaneRef = 58;  // after the extension address
inline constexpr std::uint64_t kPlaneRefStride = 2;

inline constexpr double kTicksPerSecond = 45000.0;

}  // namespace dp::mpls
