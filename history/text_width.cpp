#include "history/text_width.h"

#include <QFontMetricsF>
#include <memory>
#include <vector>

namespace tf::history {

TextWidth FontTextWidth(const QFont& font, double twipsPerPixel) {
    struct Cache {
        QFontMetricsF metrics;
        std::vector<double> advance = std::vector<double>(0x10000, -1.0);
    };
    auto cache = std::make_shared<Cache>(Cache{QFontMetricsF(font)});
    return [cache, twipsPerPixel](const QString& text) {
        double pixels = 0;
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar ch = text[i];
            if (ch.isHighSurrogate() && i + 1 < text.size()) {
                pixels += cache->metrics.horizontalAdvance(text.mid(i, 2));
                ++i;
                continue;
            }
            double& a = cache->advance[ch.unicode()];
            if (a < 0) a = cache->metrics.horizontalAdvance(ch);
            pixels += a;
        }
        return pixels * twipsPerPixel;
    };
}

}  // namespace tf::history
