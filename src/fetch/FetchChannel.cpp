// SPDX-License-Identifier: MIT
#include "fetch/FetchChannel.h"

#include "text/TextOperations.h"

namespace torvash {

void FetchChannel::clear()
{
    m_values.clear();
    m_position = 0;
}

void FetchChannel::write(Value value)
{
    m_values.resize(m_position);
    m_values.push_back(std::move(value));
    m_position = m_values.size();
}

void FetchChannel::writeText(TextView text)
{
    write(Text(text));
}

void FetchChannel::writeBytes(Bytes bytes)
{
    write(std::move(bytes));
}

Text FetchChannel::readText()
{
    if (m_position >= m_values.size() || !std::holds_alternative<Text>(m_values[m_position]))
        return {};
    return std::get<Text>(m_values[m_position++]);
}

Bytes FetchChannel::takeBytes()
{
    if (m_position >= m_values.size() || !std::holds_alternative<Bytes>(m_values[m_position]))
        return {};
    return std::move(std::get<Bytes>(m_values[m_position++]));
}

void FetchJob::writeTo(FetchChannel& channel) const
{
    channel.rewind();
    for (TextView field : {TextView(kMarker), TextView(address), TextView(verb), TextView(proxy),
                           TextView(userName), TextView(password), TextView(extraHeaders), TextView(body)})
        channel.writeText(field);
}

bool FetchJob::readFrom(FetchChannel& channel)
{
    channel.rewind();
    if (CompareText(channel.readText(), kMarker) != 0) {
        channel.rewind();
        return false;
    }
    for (Text* field : {&address, &verb, &proxy, &userName, &password, &extraHeaders, &body})
        *field = channel.readText();
    return true;
}

void FetchReply::writeTo(FetchChannel& channel) &&
{
    channel.rewind();
    channel.writeText(marker);
    channel.writeText(headerText);
    channel.writeBytes(std::move(body));
}

FetchReply FetchReply::readFrom(FetchChannel& channel)
{
    channel.rewind();
    FetchReply reply;
    reply.marker = channel.readText();
    reply.headerText = channel.readText();
    reply.body = channel.takeBytes();
    return reply;
}

} // namespace torvash
