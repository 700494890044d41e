#pragma once
// The per-thread I/O result that file-variable operations leave instead of
// raising. It sits in the lowest layer so that fs/ leaves codes and report/
// raises them (report/IoFailure.h) without either including the other.
#include <cstdint>
#include <utility>

namespace hq2hd {

namespace iocode {
inline constexpr std::int32_t FileNameTooLong = 3;
inline constexpr std::int32_t ReadShort = 100;
inline constexpr std::int32_t WriteShort = 101;
inline constexpr std::int32_t NotAssigned = 102;
inline constexpr std::int32_t NotOpen = 103;
inline constexpr std::int32_t NoStandardOutput = 105;
}  // namespace iocode

class IoStatus {
 public:
  static std::int32_t Peek() { return pendingCode; }
  static void Set(std::int32_t code) { pendingCode = code; }
  // Returns the pending code and clears it.
  static std::int32_t Take() { return std::exchange(pendingCode, 0); }

 private:
  static inline thread_local std::int32_t pendingCode = 0;
};

}  // namespace hq2hd
