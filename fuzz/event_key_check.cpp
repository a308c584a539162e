#include "event_key_check.h"

#include <cstddef>
#include <nlohmann/json.hpp>
#include <string>

namespace zonkle::fuzz {

namespace {

using Json = nlohmann::json;

// What the last value under one of the three keys was.
struct KeySeen {
    enum class Kind { absent, null, string, other };
    Kind kind = Kind::absent;
    std::string text;
};

class KeyRecorder final : public nlohmann::json_sax<Json> {
public:
    bool topLevelIsObject = false;
    KeySeen type;
    KeySeen action;
    KeySeen message;

    bool null() override { return scalar(KeySeen::Kind::null, {}); }
    bool boolean(bool) override { return scalar(KeySeen::Kind::other, {}); }
    bool number_integer(number_integer_t) override { return scalar(KeySeen::Kind::other, {}); }
    bool number_unsigned(number_unsigned_t) override { return scalar(KeySeen::Kind::other, {}); }
    bool number_float(number_float_t, const string_t&) override { return scalar(KeySeen::Kind::other, {}); }
    bool string(string_t& value) override { return scalar(KeySeen::Kind::string, value); }
    bool binary(binary_t&) override { return scalar(KeySeen::Kind::other, {}); }

    bool start_object(std::size_t) override { return open(true); }
    bool start_array(std::size_t) override { return open(false); }
    bool end_object() override { return close(); }
    bool end_array() override { return close(); }

    bool key(string_t& name) override {
        if (depth == 1) {
            currentKey = name;
        }
        return true;
    }

    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }

private:
    int depth = 0;
    std::string currentKey;

    // A value that sits directly in the top-level object belongs to the last key read.
    void record(KeySeen::Kind kind, const std::string& text) {
        KeySeen* slot = nullptr;
        if (currentKey == "type") {
            slot = &type;
        } else if (currentKey == "action") {
            slot = &action;
        } else if (currentKey == "message") {
            slot = &message;
        }
        if (slot != nullptr) {
            slot->kind = kind;
            slot->text = text;
        }
    }

    bool scalar(KeySeen::Kind kind, const std::string& text) {
        if (depth == 1) {
            record(kind, text);
        }
        return true;
    }

    bool open(bool isObject) {
        if (depth == 0) {
            topLevelIsObject = isObject;
        } else if (depth == 1) {
            record(KeySeen::Kind::other, {});
        }
        ++depth;
        return true;
    }

    bool close() {
        --depth;
        return true;
    }
};

bool isOptionalText(const KeySeen& seen) {
    return seen.kind == KeySeen::Kind::absent || seen.kind == KeySeen::Kind::null || seen.kind == KeySeen::Kind::string;
}

std::optional<std::string> optionalText(const KeySeen& seen) {
    if (seen.kind == KeySeen::Kind::string) {
        return seen.text;
    }
    return std::nullopt;
}

} // namespace

std::optional<InboundEvent> EventKeyCheck::expectedEvent(std::string_view line) {
    // JSON text never holds a raw NUL byte (in a string it must be escaped); nlohmann's lexer
    // would take one for the end of its input and accept whatever came before it.
    if (line.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    KeyRecorder recorder;
    const bool wellFormed = Json::sax_parse(line.begin(), line.end(), &recorder);
    if (!wellFormed || !recorder.topLevelIsObject) {
        return std::nullopt;
    }
    if (recorder.type.kind != KeySeen::Kind::string || !isOptionalText(recorder.action) ||
        !isOptionalText(recorder.message)) {
        return std::nullopt;
    }
    return InboundEvent{recorder.type.text, optionalText(recorder.action), optionalText(recorder.message)};
}

} // namespace zonkle::fuzz
