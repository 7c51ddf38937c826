#include "gallery/caption.h"

#include "common/rounding.h"

#include <QTextBoundaryFinder>

#include <vector>

namespace {

const QString kEllipsis = QStringLiteral("...");

// The positions in `text` where a character, a whole grapheme cluster, ends.
std::vector<qsizetype> CharacterEnds(const QString& text)
{
    std::vector<qsizetype> ends;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    for (qsizetype at = finder.toNextBoundary(); at > 0; at = finder.toNextBoundary())
        ends.push_back(at);
    return ends;
}

// The longest run of whole characters from the start of `text` that fits `budget`.
// Prefixes widen as they lengthen, so a binary search finds it; the last steps check
// the next longer prefixes too, where kerning can narrow a text by a pixel.
QString LongestFittingPrefix(const QString& text, int budget, const TextWidthFunction& width)
{
    const std::vector<qsizetype> ends = CharacterEnds(text);
    auto fits = [&](size_t count) {
        return count == 0 ? budget >= 0 : width(text.left(ends[count - 1])) <= budget;
    };
    size_t low = 0;            // characters known to fit, when fits(low)
    size_t high = ends.size(); // characters known not to fit
    if (!fits(0))
        return QString();
    while (high - low > 1) {
        const size_t middle = low + (high - low) / 2;
        if (fits(middle))
            low = middle;
        else
            high = middle;
    }
    while (low + 1 < ends.size() && fits(low + 1))
        ++low;
    return low == 0 ? QString() : text.left(ends[low - 1]);
}

} // namespace

QString ShortenCaption(const QString& name, float cellWidth, const TextWidthFunction& width)
{
    const float room = cellWidth - 15;
    int budget = RoundToInt(room);
    QString caption = name;
    if (width(caption) > budget) {
        budget = RoundToInt(static_cast<float>(budget) - static_cast<float>(width(kEllipsis)));
        caption = LongestFittingPrefix(name, budget, width);
    }
    if (room > static_cast<float>(budget))
        caption += kEllipsis;
    return caption;
}
