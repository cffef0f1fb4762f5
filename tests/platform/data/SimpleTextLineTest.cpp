#include "SimpleTextLine.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

void ensureApplication();

namespace {

struct SimpleTextLineTest : ::testing::Test
{
    QFont font;
    SimpleTextLine line{QRawFont()};

    SimpleTextLineTest()
    {
        ensureApplication();
        font = QApplication::font();
        line = SimpleTextLine(QRawFont::fromFont(font));
    }

    template<typename Draw> QImage render(Draw draw) const
    {
        QImage image(400, 30, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QPainter p(&image);
        p.setFont(font);
        p.setPen(Qt::black);
        draw(p, QPointF(3, 20));
        return image;
    }

    // What the text engine draws for 'text' elided to 'width', the way the grid did before.
    QImage engineDrawn(const QString &text, int width) const
    {
        return render([&](QPainter &p, QPointF at) {
            p.drawText(at, QFontMetrics(font).elidedText(text, Qt::ElideRight, width));
        });
    }

    QImage lineDrawn() const
    {
        return render([&](QPainter &p, QPointF at) { line.draw(&p, at); });
    }
};

const QStringList Texts = {QStringLiteral("Marienplatz 12"),   QStringLiteral("München"),
                           QStringLiteral("Genève, Rue du Rhône"), QStringLiteral("AVATAR Tower, Way 7"),
                           QStringLiteral("48.13700"),         QStringLiteral("Straße 1a / ÆØÅ ßÿ"),
                           QStringLiteral("  two  spaces  "),  QStringLiteral("Łódź, Pečovská")};

} // namespace

TEST_F(SimpleTextLineTest, DrawsTheSamePixelsAsTheTextEngine)
{
    for (const QString &text : Texts) {
        ASSERT_TRUE(line.layOut(text, 1000)) << qPrintable(text);
        EXPECT_NEAR(line.width(), QFontMetricsF(font).horizontalAdvance(text), 0.5) << qPrintable(text);
        EXPECT_EQ(lineDrawn(), engineDrawn(text, 1000)) << qPrintable(text);
    }
}

TEST_F(SimpleTextLineTest, ElidesAtTheRightLikeTheTextEngine)
{
    for (const QString &text : Texts) {
        const int full = QFontMetrics(font).horizontalAdvance(text);
        for (const int width : {full - 1, full * 3 / 5, full * 3 / 10, 5, 0}) {
            ASSERT_TRUE(line.layOut(text, width)) << qPrintable(text);
            EXPECT_LE(line.width(), width) << qPrintable(text) << " at " << width;
            EXPECT_EQ(lineDrawn(), engineDrawn(text, width)) << qPrintable(text) << " at " << width;
        }
    }
}

TEST_F(SimpleTextLineTest, LeavesTextsThatNeedShapingToTheTextEngine)
{
    for (const QString &text : {QStringLiteral("Gene\u0300ve"), QStringLiteral("\u0627\u0644\u0642\u0627\u0647\u0631\u0629"),
                                QStringLiteral("\u6771\u4EAC"), QStringLiteral("Tab\there"), QStringLiteral("Soft\u00ADhyphen"),
                                QStringLiteral("\u0391\u03B8\u03AE\u03BD\u03B1"), QStringLiteral("Kyiv \u041A\u0438\u0457\u0432"),
                                QString(QChar(0xD83D)) + QChar(0xDE00)})
        EXPECT_FALSE(line.layOut(text, 1000)) << qPrintable(text);
    ASSERT_TRUE(line.layOut(QString(), 100));
    EXPECT_EQ(line.width(), 0);
    EXPECT_EQ(lineDrawn(), engineDrawn(QString(), 100));
}
