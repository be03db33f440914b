// A strict reader of one JSON text, for checking what command-line tools print.

#ifndef TESTS_TOOLS_JSONVALUE_H
#define TESTS_TOOLS_JSONVALUE_H

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// One JSON value. Strings hold their code points as UTF-8.
struct JsonValue {
    enum class Kind { null, boolean, number, string, array, object };

    Kind kind = Kind::null;
    bool boolean = false;
    double number = 0;
    std::string string;
    std::vector<JsonValue> array;
    std::map<std::string, JsonValue> object;

    // Reads text that must be exactly one JSON value (white space around it allowed). None,
    // with error set, for anything RFC 8259 does not allow: NaN, trailing commas, raw control
    // characters in strings, leading zeros, and so on.
    static std::optional<JsonValue> parse(const std::string& text, std::string& error);

    // The member of an object; a null value when there is none or this is no object.
    const JsonValue& operator[](const std::string& key) const;
    // The element of an array; a null value when out of range or this is no array.
    const JsonValue& operator[](std::size_t index) const;
    bool has(const std::string& key) const { return object.count(key) != 0; }
    bool isNull() const { return kind == Kind::null; }
};

#endif
