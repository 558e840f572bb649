#pragma once

#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace tolven::cli {

// A small streaming JSON writer: values are appended in order and commas are
// placed automatically.
class JsonWriter {
  public:
    JsonWriter& begin_object() { return open('{'); }
    JsonWriter& end_object() { return close('}'); }
    JsonWriter& begin_array() { return open('['); }
    JsonWriter& end_array() { return close(']'); }

    JsonWriter& key(std::string_view name) {
        separate();
        quote(name);
        out_ += ": ";
        after_key_ = true;
        return *this;
    }
    JsonWriter& value(std::string_view utf8) {
        separate();
        quote(utf8);
        return *this;
    }
    JsonWriter& value(const char* utf8) { return value(std::string_view(utf8)); }
    JsonWriter& value(int v) {
        separate();
        out_ += std::to_string(v);
        return *this;
    }
    JsonWriter& value(long long v) {
        separate();
        out_ += std::to_string(v);
        return *this;
    }
    JsonWriter& value(bool v) {
        separate();
        out_ += v ? "true" : "false";
        return *this;
    }
    // Doubles with at least ten significant digits; NaN and infinities as null.
    JsonWriter& value(double v) {
        separate();
        if (!std::isfinite(v)) {
            out_ += "null";
            return *this;
        }
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.10g", v);
        out_ += buffer;
        if (std::string_view(buffer).find_first_of(".e") == std::string_view::npos) out_ += ".0";
        return *this;
    }
    JsonWriter& null() {
        separate();
        out_ += "null";
        return *this;
    }
    template <typename T>
    JsonWriter& array(const std::vector<T>& items) {
        begin_array();
        for (const auto& item : items) value(item);
        return end_array();
    }

    const std::string& str() const { return out_; }

  private:
    JsonWriter& open(char c) {
        separate();
        out_ += c;
        first_.push_back(true);
        return *this;
    }
    JsonWriter& close(char c) {
        first_.pop_back();
        out_ += c;
        return *this;
    }
    void separate() {
        if (after_key_) {
            after_key_ = false;
            return;
        }
        if (!first_.empty()) {
            if (!first_.back()) out_ += ", ";
            first_.back() = false;
        }
    }
    void quote(std::string_view s) {
        out_ += '"';
        for (unsigned char c : s) {
            switch (c) {
                case '"':
                    out_ += "\\\"";
                    break;
                case '\\':
                    out_ += "\\\\";
                    break;
                case '\n':
                    out_ += "\\n";
                    break;
                case '\r':
                    out_ += "\\r";
                    break;
                case '\t':
                    out_ += "\\t";
                    break;
                default:
                    if (c < 0x20) {
                        char buffer[8];
                        std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                        out_ += buffer;
                    } else {
                        out_ += static_cast<char>(c);
                    }
            }
        }
        out_ += '"';
    }

    std::string out_;
    std::vector<bool> first_;
    bool after_key_ = false;
};

}  // namespace tolven::cli
