#include "platform/FolderOpener.h"
#include "common/RecordingDesktop.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace mirelo;
using mirelo::test::RecordingDesktop;

// Opening a folder that fails is said to the user naming the folder; one that opens says nothing.
TEST(ServicesFolderOpener, AFolderThatCannotBeShownIsSaidNamingIt) {
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("not made yet"));
    const struct {
        QString folder;
        bool handlerAccepts;
        bool handed;      // the desktop's handler was asked
        const char* said; // part of the message; nullptr: nothing said
    } cases[] = {
        {dir.path(), true, true, nullptr},
        {dir.path(), false, true, "No file manager could open the folder"},
        {missing, true, false, "does not exist"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder.toStdString() + (c.handlerAccepts ? " accepted" : " refused"));
        RecordingDesktop desktop;
        desktop.accepts = c.handlerAccepts;
        QStringList said;
        ServicesFolderOpener opener(desktop, [&said](const QString& text) { said << text; });
        opener.openFolder(c.folder);
        EXPECT_EQ(desktop.opened.size(), c.handed ? 1 : 0);
        if (c.handed) {
            EXPECT_EQ(desktop.opened.first(), QUrl::fromLocalFile(c.folder));
        }
        if (!c.said) {
            EXPECT_TRUE(said.isEmpty());
            continue;
        }
        ASSERT_EQ(said.size(), 1);
        EXPECT_TRUE(said.first().contains(QLatin1String(c.said))) << said.first().toStdString();
        EXPECT_TRUE(said.first().contains(QDir::toNativeSeparators(c.folder)));
    }
}
