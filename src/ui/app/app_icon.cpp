#include "ui/app/app_icon.h"

#include "ui/common/picture_resources.h"

namespace {
constexpr int kAppIconId = 128;
}

wxIconBundle AppIcons() { return LoadIconBundleResource(kAppIconId); }

wxIcon AppIcon(int pixels) {
  wxIconBundle bundle = AppIcons();
  if (bundle.IsEmpty()) return wxIcon();
  return bundle.GetIcon(wxSize(pixels, pixels), wxIconBundle::FALLBACK_NEAREST_LARGER);
}
