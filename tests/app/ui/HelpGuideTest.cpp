// The user guide that Help opens: every page, picture and anchor it refers to is shipped.

#include "common/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace mirelo {
namespace {

QString readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

TEST(HelpGuide, EveryReferenceOfEveryPageResolves) {
    const QDir help(test::appDir() + QStringLiteral("/help"));
    const QStringList pages = help.entryList({QStringLiteral("*.html")}, QDir::Files);
    ASSERT_TRUE(pages.contains(QStringLiteral("index.html")));
    ASSERT_TRUE(pages.contains(QStringLiteral("troubleshooting.html")));
    const QRegularExpression reference(QStringLiteral("(?:href|src)=\"([^\"]+)\""));
    for (const QString& page : pages) {
        const QString html = readFile(help.filePath(page));
        for (const QRegularExpressionMatch& match : reference.globalMatch(html)) {
            const QString target = match.captured(1);
            if (target.contains(QStringLiteral("://")) ||
                target.startsWith(QStringLiteral("mailto:")))
                continue;
            const QString file = target.section(QLatin1Char('#'), 0, 0);
            const QString anchor = target.section(QLatin1Char('#'), 1);
            const QString path = help.filePath(file.isEmpty() ? page : file);
            EXPECT_TRUE(QFileInfo(path).isFile())
                << page.toStdString() << " -> " << target.toStdString();
            if (!anchor.isEmpty()) {
                EXPECT_TRUE(readFile(path).contains(QStringLiteral("id=\"%1\"").arg(anchor)))
                    << page.toStdString() << " -> " << target.toStdString();
            }
        }
    }
}

} // namespace
} // namespace mirelo
