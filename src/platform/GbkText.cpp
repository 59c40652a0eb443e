// SPDX-License-Identifier: MIT
#include "platform/GbkText.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace torvash {

namespace {
constexpr const char* kGbk = "GBK";
}

QString decodeGbk(TextView text)
{
    QStringDecoder decoder(kGbk);
    return decoder.decode(QByteArrayView(text.bytes().data(), static_cast<qsizetype>(text.bytes().size())));
}

std::optional<Text> encodeGbk(const QString& string)
{
    QStringEncoder encoder(kGbk);
    const QByteArray bytes = encoder.encode(string);
    if (encoder.hasError() || bytes.contains('\0'))
        return std::nullopt;
    return Text(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
}

Text encodeGbkLossy(const QString& string)
{
    QStringEncoder encoder(kGbk);
    const QByteArray bytes = encoder.encode(string);
    return Text(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
}

} // namespace torvash
