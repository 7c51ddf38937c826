#include <QIcon>
#include <QImage>
#include <QString>

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <memory>
#include <optional>
#include <vector>

namespace {

const wchar_t* const kProgram = L"" TESSELLON_PROGRAM_FILE;

// The program file, loaded for its resources alone: none of its code runs.
class ProgramResources : public ::testing::Test
{
protected:
    void SetUp() override
    {
        module_ = LoadLibraryExW(kProgram, nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(module_, nullptr) << "cannot load " << TESSELLON_PROGRAM_FILE;
    }
    void TearDown() override
    {
        if (module_ != nullptr)
            FreeLibrary(module_);
    }

    // The bytes of one resource; empty when there is none.
    QByteArray Resource(const wchar_t* type, const wchar_t* name) const
    {
        const HRSRC found = FindResourceW(module_, name, type);
        if (found == nullptr)
            return {};
        const HGLOBAL loaded = LoadResource(module_, found);
        const auto* data = static_cast<const char*>(LockResource(loaded));
        return QByteArray(data, qsizetype(SizeofResource(module_, found)));
    }

    HMODULE module_ = nullptr;
};

#pragma pack(push, 2)
struct GroupIconHeader
{
    WORD reserved;
    WORD type;
    WORD count;
};
struct GroupIconEntry
{
    BYTE width; // 0 for 256
    BYTE height;
    BYTE colors;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

// The icon's picture as Windows draws it from the resource.
QImage IconImage(const QByteArray& resource, int side)
{
    const HICON icon = CreateIconFromResourceEx(
        reinterpret_cast<PBYTE>(const_cast<char*>(resource.data())), DWORD(resource.size()), TRUE,
        0x00030000, side, side, LR_DEFAULTCOLOR);
    if (icon == nullptr)
        return {};
    QImage image = QImage::fromHICON(icon);
    DestroyIcon(icon);
    return image.convertToFormat(QImage::Format_ARGB32);
}

// The largest difference of one channel between two pictures of one size, colours weighed
// by their cover.
int LargestDifference(const QImage& a, const QImage& b)
{
    int largest = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = qPremultiply(a.pixel(x, y));
            const QRgb q = qPremultiply(b.pixel(x, y));
            for (const int d : {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q),
                                qAlpha(p) - qAlpha(q)})
                largest = std::max(largest, std::abs(d));
        }
    }
    return largest;
}

TEST_F(ProgramResources, TheIconHoldsTheWindowsIconAtEverySize)
{
    const QByteArray group = Resource(RT_GROUP_ICON, MAKEINTRESOURCEW(1));
    ASSERT_GE(group.size(), qsizetype(sizeof(GroupIconHeader)));
    GroupIconHeader header{};
    std::memcpy(&header, group.data(), sizeof header);
    EXPECT_EQ(header.type, 1);
    ASSERT_EQ(group.size(),
              qsizetype(sizeof(GroupIconHeader) + header.count * sizeof(GroupIconEntry)));

    QImage window(QStringLiteral(":/tessellon.png"));
    if (window.isNull())
        window = QIcon(QStringLiteral(":/tessellon.svg")).pixmap(32, 32).toImage();
    ASSERT_EQ(window.size(), QSize(32, 32));
    window = window.convertToFormat(QImage::Format_ARGB32);

    std::vector<int> sides;
    for (int i = 0; i < header.count; ++i) {
        GroupIconEntry entry{};
        std::memcpy(&entry, group.data() + sizeof header + i * sizeof entry, sizeof entry);
        const int side = entry.width == 0 ? 256 : entry.width;
        SCOPED_TRACE(side);
        sides.push_back(side);
        EXPECT_EQ(entry.width, entry.height);
        const QByteArray icon = Resource(RT_ICON, MAKEINTRESOURCEW(entry.id));
        ASSERT_EQ(icon.size(), qsizetype(entry.bytes));
        const QImage image = IconImage(icon, side);
        ASSERT_EQ(image.size(), QSize(side, side));
        // The window's icon is drawn at 32 pixels from the same picture.
        if (side == 32) {
            EXPECT_LE(LargestDifference(image, window), 2);
        }
    }
    EXPECT_EQ(sides, (std::vector<int>{16, 24, 32, 48, 256}));
}

// A value of the version's English strings.
std::optional<QString> VersionString(const std::vector<char>& block, const wchar_t* name)
{
    const std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    wchar_t* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), key.c_str(), reinterpret_cast<void**>(&value), &length))
        return std::nullopt;
    return QString::fromWCharArray(value, int(length > 0 ? length - 1 : 0));
}

TEST_F(ProgramResources, TheVersionIsTheProjects)
{
    const DWORD size = GetFileVersionInfoSizeW(kProgram, nullptr);
    ASSERT_GT(size, 0U);
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(kProgram, 0, size, block.data()));

    const QString version = QStringLiteral(TESSELLON_VERSION);
    const struct
    {
        const wchar_t* name;
        QString value;
    } strings[] = {
        {L"ProductName", QStringLiteral("Tessellon")},
        {L"FileDescription", QStringLiteral("Tessellon, a picker of images")},
        {L"FileVersion", version},
        {L"ProductVersion", version},
        {L"OriginalFilename", QStringLiteral("tessellon.exe")},
    };
    for (const auto& s : strings) {
        SCOPED_TRACE(QString::fromWCharArray(s.name).toStdString());
        EXPECT_EQ(VersionString(block, s.name).value_or(QStringLiteral("(none)")).toStdString(),
                  s.value.toStdString());
    }

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    const QStringList parts = version.split(u'.');
    ASSERT_EQ(parts.size(), 3);
    EXPECT_EQ(fixed->dwFileVersionMS, DWORD(parts[0].toUInt() << 16 | parts[1].toUInt()));
    EXPECT_EQ(fixed->dwFileVersionLS, DWORD(parts[2].toUInt() << 16));
    EXPECT_EQ(fixed->dwFileType, DWORD(VFT_APP));
}

TEST_F(ProgramResources, TheManifestAsksForWhatTheProgramNeeds)
{
    const QByteArray manifest = Resource(RT_MANIFEST, CREATEPROCESS_MANIFEST_RESOURCE_ID);
    ASSERT_FALSE(manifest.isEmpty());
    const char* const required[] = {
        "name=\"" TESSELLON_APP_ID "\"",
        "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
        "<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>", // Windows 10 and 11
        ">PerMonitorV2</dpiAwareness>",
        "<requestedExecutionLevel level=\"asInvoker\"",
    };
    const QByteArray flat = manifest.simplified();
    for (const char* text : required)
        EXPECT_TRUE(flat.contains(text)) << text;
}

} // namespace
