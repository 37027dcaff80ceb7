// Text forms of 64-bit floats, both built on the shortest digits that read back
// to the same double:
//  - append_f64: the form every JSON document of the system uses (null for
//    non-finite, "0.0"/"-0.0", plain decimal for decimal exponents -5..15 with
//    ".0" on whole numbers, otherwise "1e+16", "1.5e-7");
//  - append_plain_f64: always plain decimal with ".0" on whole numbers, used by
//    error messages ("floating point `1000.0`").
// write_f64 is append_f64 for writers that manage their own buffer: it needs
// kMaxF64Chars bytes of room at `out` and returns the end of what it wrote.
// write_u64/write_i64 write integers in plain decimal the same way, with
// kMaxIntChars bytes of room. Pure functions; thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vsci::json {

inline constexpr std::size_t kMaxF64Chars = 48;
inline constexpr std::size_t kMaxIntChars = 32;

char* write_f64(char* out, double v);
char* write_u64(char* out, std::uint64_t v);
char* write_i64(char* out, std::int64_t v);
void append_f64(std::string& out, double v);
void append_plain_f64(std::string& out, double v);

}  // namespace vsci::json
