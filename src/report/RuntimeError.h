#pragma once
// The last-resort report for a failure outside the run's handlers (before
// main's handler is in place or after it is gone): 29 bytes on the standard
// output and the error number as the exit code.
#include <cstdint>
#include <string>

namespace hq2hd {

// "Runtime error NNN at AAAAAAAA": the number right-aligned in three places,
// the address in upper-case hexadecimal right-aligned in eight.
std::string RuntimeErrorReport(int errorNumber, std::uint32_t address);

[[noreturn]] void EndWithRuntimeError(int errorNumber);

// Makes an escaping failure end through EndWithRuntimeError(217).
void InstallRuntimeErrorHandler();

}  // namespace hq2hd
