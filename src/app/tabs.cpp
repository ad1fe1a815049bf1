// Tab records, titles and the tab bar's geometry.
#include "app/tabs.h"

#include <algorithm>
#include <atomic>

namespace ivo {

DocTab DocTab::blank() {
    DocTab t;
    t.uid = newTabUid();
    return t;
}

std::uint64_t newTabUid() {
    static std::atomic<std::uint64_t> next{1};
    return next++;
}

std::string documentName(const std::optional<std::string>& fileURL) {
    if (!fileURL) return "Sans titre";
    const std::string& p = *fileURL;
    const size_t slash = p.find_last_of('/');
    std::string name = slash == std::string::npos ? p : p.substr(slash + 1);
    // A leading dot names a hidden file, not an extension.
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    return name;
}

std::string tabTitle(const std::optional<std::string>& fileURL, bool dirty) {
    return documentName(fileURL) + (dirty ? " \u2022" : "");
}

TabBarGeometry tabBarGeometry(int tabCount, double barWidth) {
    const double available = std::max(200.0, barWidth - 60);
    TabBarGeometry g;
    g.w = std::clamp(available / std::max(tabCount, 1), 110.0, 230.0);
    g.plusX = 8 + tabCount * g.w + 4;
    return g;
}

}  // namespace ivo
