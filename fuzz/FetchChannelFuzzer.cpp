// SPDX-License-Identifier: MIT
// Random programs of channel operations: every read gives what a plain list of values with one position
// gives; jobs and replies read from whatever the channel holds, and read back as they were written.
#include "FuzzCheck.h"
#include "fetch/FetchChannel.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

/** The fuzz input, taken from the front: operation codes, lengths and the payloads they cut. */
class Program
{
public:
    Program(const uint8_t* data, size_t size) : m_rest(reinterpret_cast<const char*>(data), size) {}

    [[nodiscard]] bool done() const { return m_rest.empty(); }
    uint8_t byte()
    {
        if (m_rest.empty())
            return 0;
        const auto value = static_cast<uint8_t>(m_rest.front());
        m_rest.remove_prefix(1);
        return value;
    }
    std::string_view payload()
    {
        const size_t length = std::min<size_t>(byte() % 64, m_rest.size());
        const std::string_view cut = m_rest.substr(0, length);
        m_rest.remove_prefix(length);
        return cut;
    }

private:
    std::string_view m_rest;
};

/** What a text made from raw storage keeps: the bytes before the first NUL. */
std::string textOf(std::string_view storage)
{
    return std::string(storage.substr(0, storage.find('\0')));
}

class ChannelModel
{
public:
    struct Value
    {
        bool isText;
        std::string bytes;
    };

    void write(bool isText, std::string bytes)
    {
        m_values.erase(m_values.begin() + static_cast<std::ptrdiff_t>(m_position), m_values.end());
        m_values.push_back({isText, std::move(bytes)});
        m_position = m_values.size();
    }
    // A read that finds no value of its type gives an empty one and stays where it is.
    std::string readText()
    {
        if (m_position >= m_values.size() || !m_values[m_position].isText)
            return {};
        return m_values[m_position++].bytes;
    }
    std::string takeBytes()
    {
        if (m_position >= m_values.size() || m_values[m_position].isText)
            return {};
        std::string taken;
        taken.swap(m_values[m_position++].bytes);
        return taken;
    }
    void rewind() { m_position = 0; }
    void clear()
    {
        m_values.clear();
        m_position = 0;
    }
    [[nodiscard]] const std::vector<Value>& values() const { return m_values; }

private:
    std::vector<Value> m_values;
    size_t m_position = 0;
};

/** Reads every value from the start, as the model holds them; bytes are taken out on both sides. */
void requireSameValues(torvash::FetchChannel& channel, ChannelModel& model)
{
    channel.rewind();
    model.rewind();
    for (size_t i = 0; i < model.values().size(); ++i) {
        if (model.values()[i].isText)
            require(channel.readText().bytes() == model.readText());
        else
            require(channel.takeBytes().bytes() == model.takeBytes());
    }
}

std::array<torvash::Text*, 7> fieldsOf(torvash::FetchJob& job)
{
    return {&job.address, &job.verb, &job.proxy, &job.userName, &job.password, &job.extraHeaders, &job.body};
}

void readJob(torvash::FetchChannel& channel, ChannelModel& model)
{
    torvash::FetchJob job;
    const bool read = job.readFrom(channel);
    model.rewind();
    if (model.readText() != torvash::FetchJob::kMarker) {
        require(!read);
        requireSameValues(channel, model);
        return;
    }
    require(read);
    for (torvash::Text* field : fieldsOf(job))
        require(field->bytes() == model.readText());
}

void readReply(torvash::FetchChannel& channel, ChannelModel& model)
{
    const torvash::FetchReply reply = torvash::FetchReply::readFrom(channel);
    model.rewind();
    require(reply.marker.bytes() == model.readText());
    require(reply.headerText.bytes() == model.readText());
    require(reply.body.bytes() == model.takeBytes());
}

void writeAndReadJob(Program& program, torvash::FetchChannel& channel, ChannelModel& model)
{
    torvash::FetchJob job;
    std::vector<std::string> written;
    for (torvash::Text* field : fieldsOf(job)) {
        const std::string_view payload = program.payload();
        *field = torvash::Text(payload);
        written.push_back(textOf(payload));
    }
    job.writeTo(channel);
    model.rewind();
    model.write(true, torvash::FetchJob::kMarker);
    for (const std::string& field : written)
        model.write(true, field);

    torvash::FetchJob back;
    require(back.readFrom(channel));
    model.rewind();
    model.readText();
    for (size_t i = 0; i < written.size(); ++i) {
        require(fieldsOf(back)[i]->bytes() == written[i]);
        model.readText();
    }
}

void writeAndReadReply(Program& program, torvash::FetchChannel& channel, ChannelModel& model)
{
    const std::string_view marker = program.payload();
    const std::string_view headerText = program.payload();
    const std::string_view body = program.payload();
    torvash::FetchReply reply{torvash::Text(marker), torvash::Text(headerText), torvash::Bytes(body)};
    std::move(reply).writeTo(channel);
    model.rewind();
    model.write(true, textOf(marker));
    model.write(true, textOf(headerText));
    model.write(false, std::string(body));

    const torvash::FetchReply back = torvash::FetchReply::readFrom(channel);
    require(back.marker.bytes() == textOf(marker));
    require(back.headerText.bytes() == textOf(headerText));
    require(back.body.bytes() == body);
    model.rewind();
    model.readText();
    model.readText();
    model.takeBytes();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace torvash;
    Program program(data, size);
    FetchChannel channel;
    ChannelModel model;
    while (!program.done()) {
        switch (program.byte() % 12) {
        case 0: {
            const std::string_view payload = program.payload();
            channel.writeText(Text(payload));
            model.write(true, textOf(payload));
            break;
        }
        case 1: {
            const std::string_view payload = program.payload();
            channel.writeBytes(Bytes(payload));
            model.write(false, std::string(payload));
            break;
        }
        case 2:
            require(channel.readText().bytes() == model.readText());
            break;
        case 3:
            require(channel.takeBytes().bytes() == model.takeBytes());
            break;
        case 4:
            channel.rewind();
            model.rewind();
            break;
        case 5:
            channel.clear();
            model.clear();
            break;
        case 6:
            readJob(channel, model);
            break;
        case 7:
            readReply(channel, model);
            break;
        case 8:
            writeAndReadJob(program, channel, model);
            break;
        case 9:
            writeAndReadReply(program, channel, model);
            break;
        case 10:
            // The markers by themselves, which random payloads would seldom spell.
            channel.writeText(FetchJob::kMarker);
            model.write(true, FetchJob::kMarker);
            break;
        default:
            channel.writeText(FetchReply::kMarker);
            model.write(true, FetchReply::kMarker);
            break;
        }
    }
    requireSameValues(channel, model);
    return 0;
}
