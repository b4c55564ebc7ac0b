// The maker's details: product data shown in the mail footer and by the
// window (version page, banner, about box).
// UTF-8; the core converts them to the code page where it uses them.
#pragma once

namespace maker {

inline constexpr const char* kAuthor = "林远舟";
inline constexpr const char* kContactMail = "linyuanzhou@example.com";
inline constexpr const char* kProductUrl = "https://www.example.com/postwing/";
inline constexpr const char* kSiteUrl = "https://www.example.com/";
inline constexpr const char* kStudio = "中国 杭州 青岚游戏工作室";
inline constexpr const char* kStudioPraise = "青岚游戏工作室是杭州一家出色的游戏制作工作室。";
inline constexpr const char* kStudioWork = "工作室致力于多媒体及游戏软件的开发、制作与发行。";

}  // namespace maker
