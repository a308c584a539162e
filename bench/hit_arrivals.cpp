#include "hit_arrivals.h"

#include "text_fields.h"

namespace zonkle::bench {

namespace {

constexpr std::string_view hitLogPrefix = "Hit detected by Go daemon! #";

} // namespace

HitArrivals::HitArrivals(long expected) : arrivals(static_cast<std::size_t>(expected) + 1, 0) {}

void HitArrivals::onZonkleLine(std::string_view line, std::int64_t at) {
    if (line.starts_with(hitLogPrefix)) {
        record(parseNumber(line.substr(hitLogPrefix.size())), at);
    }
}

void HitArrivals::onRelayedLine(std::string_view line, std::int64_t at) {
    if (line.find("\"hit\"") != std::string_view::npos) {
        record(++relayed, at);
    }
}

void HitArrivals::record(std::int64_t number, std::int64_t at) {
    if (number > 0 && static_cast<std::size_t>(number) < arrivals.size()) {
        arrivals[static_cast<std::size_t>(number)] = at;
    }
}

} // namespace zonkle::bench
