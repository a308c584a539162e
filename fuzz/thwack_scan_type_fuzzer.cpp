// Any bytes as an IIO scan_elements type ("le:s12/16>>4"): parseScanType never crashes, and
// what it accepts always fits its storage, so decoding with it can never shift out of range.
// An accepted type written back in its canonical form parses to the same fields.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "input/iio_sysfs_linux.h"

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using thwack::iio_sysfs::parseScanType;
    const auto type = parseScanType(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!type) {
        return 0;
    }
    const std::uint64_t bits = type->bits, storage = type->storageBits, shift = type->shift;
    if (bits == 0 || storage == 0 || storage > 64 || storage % 8 != 0 || bits + shift > storage) {
        fail("accepted a type that does not fit its storage");
    }
    const std::string canonical = std::string(type->bigEndian ? "be" : "le") + ":" + (type->isSigned ? "s" : "u") +
                                  std::to_string(bits) + "/" + std::to_string(storage) + ">>" + std::to_string(shift);
    const auto again = parseScanType(canonical);
    if (!again || again->bigEndian != type->bigEndian || again->isSigned != type->isSigned ||
        again->bits != type->bits || again->storageBits != type->storageBits || again->shift != type->shift) {
        fail("the canonical form does not parse back to the same type");
    }
    return 0;
}
