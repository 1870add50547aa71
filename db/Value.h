// A field value as the database layer hands it around: null, a whole number, a float or
// a text of single bytes (never converted: the bytes are the shop's code page).
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <variant>

namespace db {

// Every failure of the database layer carries the database's own message text.
struct DbError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class Value {
public:
    enum class Kind { Null, Int, Float, Text };

    Value() = default;
    Value(std::nullptr_t) {}
    Value(int v) : v_(int64_t{v}) {}
    Value(int64_t v) : v_(v) {}
    Value(double v) : v_(v) {}
    Value(std::string v) : v_(std::move(v)) {}
    Value(const char* v) : v_(std::string(v)) {}

    Kind kind() const { return static_cast<Kind>(v_.index()); }
    bool isNull() const { return kind() == Kind::Null; }

    // Null reads as "" / 0. A number reads as text in its shortest exact decimal form
    // (12.5, 1, 99.99). A text that is not a number throws DbError on asFloat / asInt.
    std::string asString() const;
    double asFloat() const;
    int64_t asInt() const;  // floats are rounded to the nearest, halves to even

    const std::string& text() const { return std::get<std::string>(v_); }

    // Order as the database sorts ascending: nulls first, numbers by value, texts by their
    // bytes with trailing blanks not counting.
    static int compare(const Value& a, const Value& b);
    friend bool operator==(const Value& a, const Value& b) { return compare(a, b) == 0; }

private:
    std::variant<std::monostate, int64_t, double, std::string> v_;
};

// Shortest decimal text that reads back as exactly the same double.
std::string formatFloat(double v);

}  // namespace db
