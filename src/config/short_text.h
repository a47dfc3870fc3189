#pragma once
// 8-bit text with a fixed maximum length, held inline so that a record holding it stays a
// plain value: storing longer text keeps its first Max characters.
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

template <std::size_t Max>
class ShortText {
public:
    static constexpr std::size_t max_size = Max;

    ShortText() = default;
    ShortText(std::string_view text) { assign(text); }  // NOLINT: implicit by design
    ShortText& operator=(std::string_view text) {
        assign(text);
        return *this;
    }

    std::size_t size() const { return length_; }
    bool empty() const { return length_ == 0; }
    std::string_view view() const { return std::string_view(chars_, length_); }
    std::string str() const { return std::string(chars_, length_); }
    const char* c_str() const { return chars_; }

    friend bool operator==(const ShortText& a, std::string_view b) { return a.view() == b; }
    friend bool operator!=(const ShortText& a, std::string_view b) { return a.view() != b; }

private:
    void assign(std::string_view text) {
        length_ = static_cast<unsigned char>(text.size() < Max ? text.size() : Max);
        std::memcpy(chars_, text.data(), length_);
        std::memset(chars_ + length_, 0, sizeof chars_ - length_);
    }

    unsigned char length_ = 0;
    char chars_[Max + 1] = {};  // always zero-terminated
};
