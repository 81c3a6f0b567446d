#include "profiles/Catalog.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

using namespace mirelo;

TEST(Catalog, HasTwentyTwoHeadingsAtTheirPositions) {
    // The 22 headings of the first 92 rows, then the newer rows' four.
    const std::vector<int> expected{1,  7,  11, 14, 17, 20, 24, 28, 33, 40, 45, 52,  56,
                                    60, 62, 67, 69, 71, 74, 77, 79, 87, 93, 99, 103, 107};
    EXPECT_EQ(categoryPositions(), expected);
    ASSERT_EQ(catalogRows().size(), 113u);
    int profiles = 0;
    for (size_t i = 0; i < catalogRows().size(); ++i) {
        const CatalogRow& row = catalogRows()[i];
        EXPECT_EQ(row.position, static_cast<int>(i) + 1);
        if (row.kind == RowKind::Profile) {
            profiles += row.position <= 92 ? 1 : 0;
            EXPECT_EQ(row.icon, 0) << row.text;
        } else {
            EXPECT_GE(row.icon, 1) << row.text;
            EXPECT_LE(row.icon, row.position <= 92 ? 41 : 45) << row.text;
        }
    }
    EXPECT_EQ(profiles, 70);
}

TEST(Catalog, IconsAreDistinctExceptTheSharedOne) {
    std::multiset<int> icons;
    for (int p : categoryPositions())
        icons.insert(catalogRow(p)->icon);
    for (int icon : icons)
        EXPECT_EQ(icons.count(icon), icon == 31 ? 2u : 1u) << icon;
    EXPECT_EQ(catalogRow(45)->icon, 31);
    EXPECT_EQ(catalogRow(71)->icon, 31);
}

TEST(Catalog, OutputExtensions) {
    const struct {
        int position;
        const char* extension;
    } cases[] = {{2, ".mp4"},  {23, ".mp4"}, {27, ".wmv"}, {41, ".avi"}, {63, ".3gp"},
                 {64, ".3g2"}, {75, ".flv"}, {76, ".swf"}, {80, ".mpg"}, {85, ".wmv"},
                 {88, ".mp3"}, {89, ".ogg"}, {90, ".wav"}, {91, ".aac"}, {92, ".wma"}};
    for (const auto& c : cases)
        EXPECT_EQ(outputExtension(QString::fromUtf8(catalogRow(c.position)->text)),
                  QString::fromLatin1(c.extension))
            << c.position;
    for (const CatalogRow& row : catalogRows().first(92)) {
        const QString ext = outputExtension(QString::fromUtf8(row.text));
        if (row.kind == RowKind::Category)
            EXPECT_TRUE(ext.isEmpty()) << row.text;
        else
            EXPECT_TRUE(ext.size() == 4 && ext.startsWith(u'.')) << row.text;
    }
}

TEST(Catalog, NewerRowsNameTheirOwnExtension) {
    // Longer than the first-dot rule's four characters, or absent from the text.
    const struct {
        int position;
        const char* extension;
    } cases[] = {{94, ".mp4"},   {95, ".webm"}, {96, ".webm"}, {98, ".mkv"},
                 {100, ".mkv"},  {101, ".mp4"}, {102, ".mka"}, {104, ".opus"},
                 {105, ".flac"}, {106, ".m4a"}, {113, ".mp4"}};
    for (const auto& c : cases)
        EXPECT_EQ(outputExtension(*catalogRow(c.position)), QString::fromLatin1(c.extension))
            << c.position;
    // The older rows keep the first-dot rule; headings have no extension.
    EXPECT_EQ(outputExtension(*catalogRow(89)), ".ogg");
    for (const CatalogRow& row : catalogRows())
        EXPECT_EQ(outputExtension(row).isEmpty(), row.kind == RowKind::Category) << row.text;
}

TEST(Catalog, RowsTellNSeriesProfilesApartByPosition) {
    EXPECT_STREQ(catalogRow(66)->text, "Nokia N-series MPEG-4 Movie(*.mp4)");
    EXPECT_STREQ(catalogRow(70)->text, "Nokia N-Series MPEG-4 Movie(*.mp4)");
    EXPECT_EQ(catalogRow(0), nullptr);
    EXPECT_EQ(catalogRow(kCatalogSize + 1), nullptr);
    EXPECT_TRUE(isCategoryPosition(7));
    EXPECT_FALSE(isCategoryPosition(76));
    EXPECT_FALSE(isCategoryPosition(kCatalogSize + 1));
}

TEST(Catalog, StoredPositionReadsTheLeadingNumber) {
    const struct {
        const char* stored;
        int position;
    } cases[] = {{"", 0},    {"abc", 0},   {"0", 0},      {"7", 7},  {"76", 76},
                 {"93", 93}, {" 12 ", 12}, {"12abc", 12}, {"-5", 0}, {"99999999999999", 999999999}};
    for (const auto& c : cases)
        EXPECT_EQ(parseStoredPosition(QString::fromLatin1(c.stored)), c.position) << c.stored;
}

TEST(Catalog, HeadingsNamePicturesAndShareTheLayoutOfTheirFirstProfile) {
    std::map<int, std::string> pictureOfIcon;
    for (const CatalogRow& row : catalogRows()) {
        SCOPED_TRACE(row.text);
        if (row.kind == RowKind::Profile) {
            EXPECT_EQ(row.picture, nullptr);
            continue;
        }
        ASSERT_NE(row.picture, nullptr);
        EXPECT_TRUE(row.preset.empty());
        // One picture per image-list index: two headings with one index show the same picture.
        const auto [known, added] = pictureOfIcon.emplace(row.icon, row.picture);
        EXPECT_EQ(known->second, row.picture);
        const CatalogRow* first = catalogRow(row.position + 1);
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(first->kind, RowKind::Profile);
        EXPECT_EQ(first->layout, row.layout);
        EXPECT_STREQ(first->fragment, row.fragment);
    }
    EXPECT_EQ(pictureOfIcon.size(), 25u);
}
