#include "gallery/caption.h"

#include "platform/rounding.h"

#include <QTextBoundaryFinder>

namespace {

const QString Ellipsis = QStringLiteral("...");

// `text` less its last character, a whole grapheme cluster.
void ChopLastCharacter(QString& text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    finder.toEnd();
    const qsizetype previous = finder.toPreviousBoundary();
    text.truncate(previous > 0 ? previous : 0);
}

} // namespace

QString ShortenCaption(const QString& name, float cellWidth, const TextWidthFunction& width)
{
    const float room = cellWidth - 15;
    int budget = RoundToInt(room);
    QString caption = name;
    if (width(caption) > budget)
        budget = RoundToInt(static_cast<float>(budget) - static_cast<float>(width(Ellipsis)));
    while (!caption.isEmpty() && width(caption) > budget)
        ChopLastCharacter(caption);
    if (room > static_cast<float>(budget))
        caption += Ellipsis;
    return caption;
}

int BuildProgressPercent(int index, int count)
{
    const float percent = static_cast<float>(index + 1) / static_cast<float>(count) * 100.0F;
    return RoundToInt(percent);
}
