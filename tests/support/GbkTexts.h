// SPDX-License-Identifier: MIT
#pragma once

// GBK texts the tests share.
namespace torvash {

/** 茶叶: the demo keyword. */
inline constexpr const char* kTea = "\xB2\xE8\xD2\xB6";
/** 没有找到: the title of a page's row when the seller is not on it. */
inline constexpr const char* kNotFound = "\xC3\xBB\xD3\xD0\xD5\xD2\xB5\xBD";

} // namespace torvash
