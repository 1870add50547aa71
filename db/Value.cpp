#include "Value.h"

#include <charconv>
#include <cmath>
#include <string_view>

namespace db {

std::string formatFloat(double v) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

namespace {

std::string_view trimmed(std::string_view s) {
    auto b = s.find_first_not_of(" \t");
    if (b == std::string_view::npos) return {};
    auto e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

double parseFloat(const std::string& text) {
    auto s = trimmed(text);
    double d = 0;
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    auto r = std::from_chars(s.data(), s.data() + s.size(), d);
    if (s.empty() || r.ec != std::errc() || r.ptr != s.data() + s.size())
        throw DbError("'" + text + "' is not a valid floating point value");
    return d;
}

std::string_view withoutTrailingBlanks(const std::string& s) {
    auto e = s.find_last_not_of(' ');
    return std::string_view(s).substr(0, e == std::string::npos ? 0 : e + 1);
}

}  // namespace

std::string Value::asString() const {
    switch (kind()) {
        case Kind::Null: return {};
        case Kind::Int: return std::to_string(std::get<int64_t>(v_));
        case Kind::Float: return formatFloat(std::get<double>(v_));
        case Kind::Text: return std::get<std::string>(v_);
    }
    return {};
}

double Value::asFloat() const {
    switch (kind()) {
        case Kind::Null: return 0;
        case Kind::Int: return static_cast<double>(std::get<int64_t>(v_));
        case Kind::Float: return std::get<double>(v_);
        case Kind::Text: return parseFloat(std::get<std::string>(v_));
    }
    return 0;
}

int64_t Value::asInt() const {
    if (kind() == Kind::Int) return std::get<int64_t>(v_);
    if (kind() == Kind::Null) return 0;
    double d = asFloat();
    if (!std::isfinite(d) || std::fabs(d) > 9.2e18)
        throw DbError("'" + asString() + "' is not a valid integer value");
    return static_cast<int64_t>(std::nearbyint(d));
}

int Value::compare(const Value& a, const Value& b) {
    if (a.isNull() || b.isNull()) return int(!a.isNull()) - int(!b.isNull());
    if (a.kind() == Kind::Text && b.kind() == Kind::Text) {
        int c = withoutTrailingBlanks(a.text()).compare(withoutTrailingBlanks(b.text()));
        return (c > 0) - (c < 0);
    }
    if (a.kind() == Kind::Int && b.kind() == Kind::Int) {
        auto x = std::get<int64_t>(a.v_), y = std::get<int64_t>(b.v_);
        return (x > y) - (x < y);
    }
    if (a.kind() == Kind::Text || b.kind() == Kind::Text) {
        // A text against a number: compare as numbers when the text is one, else as texts.
        try {
            double x = a.asFloat(), y = b.asFloat();
            return (x > y) - (x < y);
        } catch (const DbError&) {
            int c = a.asString().compare(b.asString());
            return (c > 0) - (c < 0);
        }
    }
    double x = a.asFloat(), y = b.asFloat();
    return (x > y) - (x < y);
}

}  // namespace db
