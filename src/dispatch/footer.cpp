#include "dispatch/footer.h"

#include "product/maker.h"
#include "platform/codepage.h"

namespace {

std::string BuildFooter() {
  const std::string separator(60, '=');
  std::string utf8;
  utf8 += "\n\n";
  utf8 += separator + "\n";
  utf8 += "此邮件由 <飞鸿信使> 软件发送。\n";
  utf8 += std::string("<飞鸿信使> 作者: ") + maker::kAuthor + "\n";
  utf8 += std::string("如有任何问题请发函联系<mailto:") + maker::kContactMail + ">\n";
  utf8 += "\n";
  utf8 += "您也可在下列网站免费下载 <飞鸿信使> 软件。\n";
  utf8 += std::string(maker::kProductUrl) + "\n";
  utf8 += separator + "\n";
  utf8 += std::string(maker::kStudio) + "\n";
  utf8 += std::string(maker::kStudioPraise) + "\n";
  utf8 += std::string(maker::kStudioWork) + "\n";
  utf8 += std::string("欢迎光临 ") + maker::kSiteUrl + " \n";
  utf8 += separator + "\n\n";
  return platform::FromUtf8(utf8);
}

}  // namespace

const std::string& MailFooter() {
  static const std::string footer = BuildFooter();
  return footer;
}
