#include "jsonvalue.h"

#include <cstdlib>

namespace {

class Reader {
public:
    explicit Reader(const std::string& text) : text(text) {}

    bool document(JsonValue& value) {
        skipSpace();
        if (!readValue(value, 0)) {
            return false;
        }
        skipSpace();
        return pos == text.size() || fail("text after the value");
    }

    std::string error;

private:
    bool fail(const std::string& what) {
        if (error.empty()) {
            error = what + " at offset " + std::to_string(pos);
        }
        return false;
    }

    void skipSpace() {
        while (pos < text.size() &&
               (text[pos] == ' ' || text[pos] == '\t' || text[pos] == '\n' || text[pos] == '\r')) {
            ++pos;
        }
    }

    bool literal(const char* word) {
        const std::string expected(word);
        if (text.compare(pos, expected.size(), expected) != 0) {
            return fail("unknown literal");
        }
        pos += expected.size();
        return true;
    }

    bool readValue(JsonValue& value, int depth) {
        if (depth > 64) {
            return fail("nesting too deep");
        }
        if (pos >= text.size()) {
            return fail("value missing");
        }
        switch (text[pos]) {
        case '{':
            return readObject(value, depth);
        case '[':
            return readArray(value, depth);
        case '"':
            value.kind = JsonValue::Kind::string;
            return readString(value.string);
        case 't':
            value.kind = JsonValue::Kind::boolean;
            value.boolean = true;
            return literal("true");
        case 'f':
            value.kind = JsonValue::Kind::boolean;
            return literal("false");
        case 'n':
            value.kind = JsonValue::Kind::null;
            return literal("null");
        default:
            value.kind = JsonValue::Kind::number;
            return readNumber(value.number);
        }
    }

    bool readObject(JsonValue& value, int depth) {
        value.kind = JsonValue::Kind::object;
        ++pos;
        skipSpace();
        if (pos < text.size() && text[pos] == '}') {
            ++pos;
            return true;
        }
        while (true) {
            skipSpace();
            std::string key;
            if (pos >= text.size() || text[pos] != '"' || !readString(key)) {
                return fail("object key expected");
            }
            if (value.object.count(key) != 0) {
                return fail("duplicate key " + key);
            }
            skipSpace();
            if (pos >= text.size() || text[pos] != ':') {
                return fail("':' expected");
            }
            ++pos;
            skipSpace();
            if (!readValue(value.object[key], depth + 1)) {
                return false;
            }
            skipSpace();
            if (pos < text.size() && text[pos] == ',') {
                ++pos;
                continue;
            }
            if (pos < text.size() && text[pos] == '}') {
                ++pos;
                return true;
            }
            return fail("',' or '}' expected");
        }
    }

    bool readArray(JsonValue& value, int depth) {
        value.kind = JsonValue::Kind::array;
        ++pos;
        skipSpace();
        if (pos < text.size() && text[pos] == ']') {
            ++pos;
            return true;
        }
        while (true) {
            skipSpace();
            value.array.emplace_back();
            if (!readValue(value.array.back(), depth + 1)) {
                return false;
            }
            skipSpace();
            if (pos < text.size() && text[pos] == ',') {
                ++pos;
                continue;
            }
            if (pos < text.size() && text[pos] == ']') {
                ++pos;
                return true;
            }
            return fail("',' or ']' expected");
        }
    }

    static void appendUtf8(std::string& out, unsigned code) {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    bool readHex4(unsigned& code) {
        if (pos + 4 > text.size()) {
            return fail("short \\u escape");
        }
        code = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = text[pos++];
            code <<= 4;
            if (c >= '0' && c <= '9') {
                code |= static_cast<unsigned>(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                code |= static_cast<unsigned>(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                code |= static_cast<unsigned>(c - 'A' + 10);
            } else {
                return fail("bad \\u escape");
            }
        }
        return true;
    }

    bool readString(std::string& out) {
        ++pos; // the opening quote
        while (pos < text.size()) {
            const auto c = static_cast<unsigned char>(text[pos++]);
            if (c == '"') {
                return true;
            }
            if (c < 0x20) {
                return fail("raw control character in a string");
            }
            if (c >= 0x80) {
                // Only well-formed UTF-8 is JSON text; the tools write ASCII, so any such byte
                // is already a fault.
                return fail("byte above 127 in a string");
            }
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            if (pos >= text.size()) {
                break;
            }
            const char escape = text[pos++];
            unsigned code = 0;
            switch (escape) {
            case '"':
            case '\\':
            case '/':
                out += escape;
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u':
                if (!readHex4(code)) {
                    return false;
                }
                appendUtf8(out, code);
                break;
            default:
                return fail("unknown escape");
            }
        }
        return fail("unterminated string");
    }

    bool digits() {
        const std::size_t start = pos;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
            ++pos;
        }
        return pos > start;
    }

    bool readNumber(double& number) {
        const std::size_t start = pos;
        if (text[pos] == '-') {
            ++pos;
        }
        if (pos < text.size() && text[pos] == '0') {
            ++pos;
        } else if (!digits()) {
            return fail("number expected");
        }
        if (pos < text.size() && text[pos] == '.') {
            ++pos;
            if (!digits()) {
                return fail("digits expected after '.'");
            }
        }
        if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
            ++pos;
            if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
                ++pos;
            }
            if (!digits()) {
                return fail("digits expected in the exponent");
            }
        }
        number = std::strtod(text.substr(start, pos - start).c_str(), nullptr);
        return true;
    }

    const std::string& text;
    std::size_t pos = 0;
};

const JsonValue null_value;

} // namespace

std::optional<JsonValue> JsonValue::parse(const std::string& text, std::string& error) {
    Reader reader(text);
    JsonValue value;
    if (!reader.document(value)) {
        error = reader.error;
        return std::nullopt;
    }
    return value;
}

const JsonValue& JsonValue::operator[](const std::string& key) const {
    const auto found = object.find(key);
    return found == object.end() ? null_value : found->second;
}

const JsonValue& JsonValue::operator[](std::size_t index) const {
    return index < array.size() ? array[index] : null_value;
}
