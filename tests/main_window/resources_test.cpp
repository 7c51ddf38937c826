#include <QFile>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <ostream>
#include <string>

using namespace Qt::StringLiterals;

namespace {

struct EmbeddedImage
{
    const char* path;
    int size;
};

void PrintTo(const EmbeddedImage& image, std::ostream* os)
{
    *os << image.path;
}

// Each toolbar key has a subdued normal and a colored hover image; the window icon is larger.
constexpr EmbeddedImage kEmbeddedImages[] = {
    {":/icons/browse.svg", 16},  {":/icons/browse-hover.svg", 16},
    {":/icons/edit.svg", 16},    {":/icons/edit-hover.svg", 16},
    {":/icons/exit.svg", 16},    {":/icons/exit-hover.svg", 16},
    {":/icons/refresh.svg", 16}, {":/icons/refresh-hover.svg", 16},
    {":/tessellon.svg", 32},
};

constexpr const char* kToolbarKeys[] = {"browse", "edit", "exit", "refresh"};

QImage Render(const QString& path, int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QSvgRenderer renderer(path);
    QPainter painter(&image);
    renderer.render(&painter);
    return image;
}

class ResourcesImage : public ::testing::TestWithParam<EmbeddedImage>
{};

TEST_P(ResourcesImage, IsValidSvgOfItsSize)
{
    const QString path = QString::fromLatin1(GetParam().path);
    ASSERT_TRUE(QFile::exists(path));
    const QSvgRenderer renderer(path);
    ASSERT_TRUE(renderer.isValid());
    EXPECT_EQ(renderer.defaultSize().width(), GetParam().size);
    EXPECT_EQ(renderer.defaultSize().height(), GetParam().size);
}

TEST_P(ResourcesImage, LoadsAsIcon)
{
    const QIcon icon(QString::fromLatin1(GetParam().path));
    EXPECT_FALSE(icon.pixmap(GetParam().size).isNull());
}

std::string TestName(const char* text)
{
    std::string name(text);
    std::ranges::replace_if(
        name, [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Embedded, ResourcesImage, ::testing::ValuesIn(kEmbeddedImages),
                         [](const auto& info) { return TestName(info.param.path); });

class ResourcesHover : public ::testing::TestWithParam<const char*>
{};

TEST_P(ResourcesHover, DiffersFromNormalImage)
{
    const QString key = QString::fromLatin1(GetParam());
    const QImage normal = Render(u":/icons/"_s + key + u".svg"_s, 16);
    const QImage hover = Render(u":/icons/"_s + key + u"-hover.svg"_s, 16);
    EXPECT_TRUE(normal != hover) << "the hover image of " << GetParam() << " looks the same";
}

INSTANTIATE_TEST_SUITE_P(Toolbar, ResourcesHover, ::testing::ValuesIn(kToolbarKeys),
                         [](const auto& info) { return TestName(info.param); });

} // namespace
