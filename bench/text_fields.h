#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace zonkle::bench {

// The leading decimal integer of the text; 0 when there is none.
std::int64_t parseNumber(std::string_view text);
// The text cut at single spaces.
std::vector<std::string_view> words(std::string_view line);

} // namespace zonkle::bench
