// SPDX-License-Identifier: MIT
#include "platform/GbkText.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace torvash {

namespace {

constexpr const char* kGbk = "GBK";

// Opening the platform's converter costs far more than a conversion, so each thread keeps one of each,
// made afresh for every conversion by a reset.
QStringDecoder& decoder()
{
    thread_local QStringDecoder decoder(kGbk);
    decoder.resetState();
    return decoder;
}

QStringEncoder& encoder()
{
    thread_local QStringEncoder encoder(kGbk);
    encoder.resetState();
    return encoder;
}

Text textOf(const QByteArray& bytes)
{
    return Text(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
}

} // namespace

QString decodeGbk(TextView text)
{
    return decoder().decode(QByteArrayView(text.bytes().data(), static_cast<qsizetype>(text.bytes().size())));
}

std::optional<Text> encodeGbk(const QString& string)
{
    QStringEncoder& gbk = encoder();
    const QByteArray bytes = gbk.encode(string);
    if (gbk.hasError() || bytes.contains('\0'))
        return std::nullopt;
    return textOf(bytes);
}

Text encodeGbkLossy(const QString& string)
{
    return textOf(encoder().encode(string));
}

} // namespace torvash
