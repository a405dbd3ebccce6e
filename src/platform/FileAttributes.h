// File attributes and times of extracted archive members: the modification
// time from an MS-DOS date and time (local time), the permission bits from
// the external attributes of a ZIP entry, and the read-only state.
#pragma once

#include <cstdint>
#include <string>

namespace toponyx::platform {

// Seconds since 1970 (UTC) of an MS-DOS date and time taken as local time.
// DOS date: bits 15-9 year - 1980, 8-5 month, 4-0 day; DOS time: bits 15-11
// hour, 10-5 minute, 4-0 second / 2. False when a field is out of range
// (month 0, day 0, hour 24, ...), e.g. for the zero date of entries that
// carry none.
bool DosDateTimeToUnix(uint16_t dos_date, uint16_t dos_time, int64_t& seconds);

// Sets the file's modification time from a DOS date and time (local time);
// the access time is left alone. False for an invalid date or when the
// system refuses.
bool SetModificationTimeFromDos(const std::string& path, uint16_t dos_date, uint16_t dos_time);

// The file's modification time in seconds and nanoseconds since 1970;
// false when the file cannot be examined.
bool ModificationTime(const std::string& path, int64_t& seconds, int64_t& nanoseconds);

// Host systems of the "version made by" field whose external attributes
// carry Unix mode bits in their upper 16 bits.
inline constexpr uint8_t kZipHostUnix = 3;
inline constexpr uint8_t kZipHostDarwin = 19;

// The permission bits an extracted file gets, from the bits it was created
// with (the system's default, after the umask) and the entry's attributes:
//  - Unix hosts with mode bits: the entry's read and write bits, never more
//    than the created bits allow; the owner can always read.
//  - otherwise the MS-DOS attribute byte: read-only (bit 0) removes every
//    write bit.
// Execute, set-user-ID, set-group-ID and sticky bits are never given, and
// the file type bits (links, devices) are ignored: an extracted file is
// always a plain file.
uint32_t ZipPermissions(uint32_t created_mode, uint8_t host_system, uint32_t external_attributes);

// Applies ZipPermissions to an existing file. False when the system refuses.
bool ApplyZipAttributes(const std::string& path, uint8_t host_system, uint32_t external_attributes);

// Read-only means nobody may write the file (no write bit is set).
bool IsReadOnly(const std::string& path);
// Sets or clears read-only: clearing gives the owner the write bit back.
bool SetReadOnly(const std::string& path, bool read_only);

}  // namespace toponyx::platform
