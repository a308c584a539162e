#include "text_fields.h"

#include <charconv>

namespace zonkle::bench {

std::int64_t parseNumber(std::string_view text) {
    std::int64_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

std::vector<std::string_view> words(std::string_view line) {
    std::vector<std::string_view> parts;
    while (!line.empty()) {
        const auto space = line.find(' ');
        parts.push_back(line.substr(0, space));
        line = space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
    }
    return parts;
}

} // namespace zonkle::bench
