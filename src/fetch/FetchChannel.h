// SPDX-License-Identifier: MIT
#pragma once

#include "text/Text.h"

#include <cstddef>
#include <variant>
#include <vector>

namespace torvash {

/**
 * An in-memory stream of typed values (texts and bytes) with one read/write position, which carries a
 * job to a request worker and its reply back. A write replaces what stands at the position and after
 * it; reading a value that is not there, or not of the asked type, yields an empty value. Values are
 * kept whole rather than as bytes, so that a body of many megabytes moves through without a copy.
 */
class FetchChannel
{
public:
    void rewind() { m_position = 0; }
    /** Drops everything from the start on. */
    void clear();

    void writeText(TextView text);
    void writeBytes(Bytes bytes);
    Text readText();
    /** Moves the bytes out: a second read of the same value finds empty bytes. */
    Bytes takeBytes();

private:
    using Value = std::variant<Text, Bytes>;
    void write(Value value);

    std::vector<Value> m_values;
    size_t m_position = 0;
};

/** What FetchPage asks a request worker to do. */
struct FetchJob
{
    static constexpr const char* kMarker = "Vorlith";

    Text address;
    Text verb; // empty means GET
    Text proxy;
    Text userName;
    Text password;
    Text extraHeaders; // lines each ending in CR LF
    Text body;

    void writeTo(FetchChannel& channel) const;
    /** Reads a job from the channel's start; false, with the channel untouched, when the marker is not
     *  there. */
    bool readFrom(FetchChannel& channel);
};

/** What a request worker hands back. */
struct FetchReply
{
    static constexpr const char* kMarker = "Vorlith_OK";

    Text marker; // kMarker when the worker wrote a reply
    Text headerText;
    Bytes body;

    /** Moves the body into the channel. */
    void writeTo(FetchChannel& channel) &&;
    /** Moves the body out of the channel. */
    static FetchReply readFrom(FetchChannel& channel);
};

} // namespace torvash
