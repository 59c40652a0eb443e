// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace torvash {

class Text;

/**
 * A borrowed run of text bytes: never holds a NUL, because it is only ever made from a C string, from a
 * Text, or as a part of another view. Positions handed to the text operations are 1-based; the
 * accessors here are 0-based, like the standard library's.
 */
class TextView
{
public:
    constexpr TextView() = default;
    constexpr TextView(const char* cString) : m_bytes(cString) {}
    TextView(const Text& text);

    [[nodiscard]] constexpr std::string_view bytes() const { return m_bytes; }
    [[nodiscard]] constexpr int32_t length() const { return static_cast<int32_t>(m_bytes.size()); }
    [[nodiscard]] constexpr bool empty() const { return m_bytes.empty(); }
    [[nodiscard]] constexpr unsigned char byteAt(int32_t index) const
    {
        return static_cast<unsigned char>(m_bytes[static_cast<size_t>(index)]);
    }
    /** Bytes [offset, offset + count) of this view; the caller keeps both inside it. */
    [[nodiscard]] constexpr TextView part(int32_t offset, int32_t count) const
    {
        return TextView(m_bytes.substr(static_cast<size_t>(offset), static_cast<size_t>(count)));
    }

    friend bool operator==(TextView a, TextView b) { return a.m_bytes == b.m_bytes; }

private:
    friend class Text;
    constexpr explicit TextView(std::string_view nulFree) : m_bytes(nulFree) {}

    std::string_view m_bytes;
};

/**
 * An owned text: bytes without NUL in the GBK code page. A Text made from raw storage ends at the first
 * NUL in it, the way a text filled in by a platform call does. Lengths are 32-bit, so a text longer
 * than 2^31 - 1 bytes keeps only its first 2^31 - 1.
 */
class Text
{
public:
    Text() = default;
    Text(const char* cString) : Text(std::string_view(cString)) {}
    explicit Text(TextView view) : m_bytes(view.bytes()) {}
    explicit Text(std::string_view storage);

    /** Takes the view's bytes, keeping this text's storage where it is large enough. */
    void assign(TextView view) { m_bytes.assign(view.bytes()); }

    [[nodiscard]] std::string_view bytes() const { return m_bytes; }
    [[nodiscard]] const char* c_str() const { return m_bytes.c_str(); }
    [[nodiscard]] int32_t length() const { return static_cast<int32_t>(m_bytes.size()); }
    [[nodiscard]] bool empty() const { return m_bytes.empty(); }

    friend bool operator==(const Text& a, const Text& b) = default;

private:
    friend class TextBuilder;
    std::string m_bytes;
};

/** Puts a text together from texts and single bytes; a NUL byte handed to it is left out. */
class TextBuilder
{
public:
    void reserve(size_t bytes) { m_text.m_bytes.reserve(bytes); }
    void append(TextView text) { m_text.m_bytes.append(text.bytes()); }
    void append(char byte)
    {
        if (byte != '\0')
            m_text.m_bytes.push_back(byte);
    }
    [[nodiscard]] Text build() && { return std::move(m_text); }

private:
    Text m_text;
};

inline TextView::TextView(const Text& text) : m_bytes(text.bytes()) {}

/** Counted bytes of any value, NUL included: response bodies and read buffers. */
class Bytes
{
public:
    Bytes() = default;
    explicit Bytes(const char* cString) : m_bytes(cString) {}
    explicit Bytes(std::string_view bytes) : m_bytes(bytes) {}
    explicit Bytes(std::string&& bytes) : m_bytes(std::move(bytes)) {}

    [[nodiscard]] std::string_view bytes() const { return m_bytes; }
    [[nodiscard]] const char* data() const { return m_bytes.data(); }
    [[nodiscard]] int64_t size() const { return static_cast<int64_t>(m_bytes.size()); }

    friend bool operator==(const Bytes& a, const Bytes& b) = default;

private:
    std::string m_bytes;
};

} // namespace torvash
