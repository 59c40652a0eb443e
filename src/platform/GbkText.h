// SPDX-License-Identifier: MIT
#pragma once

#include "text/Text.h"

#include <QString>

#include <optional>

/*
 * Texts are GBK bytes everywhere but where they meet Qt; these are the only conversions.
 */
namespace torvash {

/** Bytes the platform's GBK decoder cannot read become U+FFFD. */
QString decodeGbk(TextView text);
/** The GBK form of a string, or nothing when a character has none. */
std::optional<Text> encodeGbk(const QString& string);
/** The GBK form of a string, each character without one becoming "?", as the platform's own
 *  conversion does. */
Text encodeGbkLossy(const QString& string);

} // namespace torvash
