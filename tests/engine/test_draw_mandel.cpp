// Colour mapping and the drawing sequence, on a surface that records calls.

#include "engine/mandel11.h"

#include <QTest>

#include <map>
#include <utility>
#include <vector>

using namespace quilfen;

namespace {

class RecordingSurface : public PictureSurface {
public:
    std::vector<std::string> calls;  // operations other than PSet, in order
    std::map<std::pair<double, double>, Colour> pixels;
    int psetsSinceRefresh = 0;
    std::vector<int> psetsPerRefresh;

    void setLeft(int px) override { calls.push_back("Left=" + std::to_string(px)); }
    void setTop(int px) override { calls.push_back("Top=" + std::to_string(px)); }
    void setWidth(int px) override { calls.push_back("Width=" + std::to_string(px)); }
    void setHeight(int px) override { calls.push_back("Height=" + std::to_string(px)); }
    void Cls() override { calls.push_back("Cls"); }
    void Scale(double x1, double y1, double x2, double y2) override
    {
        calls.push_back("Scale " + std::to_string(int(x1)) + "," + std::to_string(int(y1)) + "-" +
                        std::to_string(int(x2)) + "," + std::to_string(int(y2)));
    }
    void PSet(double x, double y, Colour colour) override
    {
        pixels[{x, y}] = colour;
        ++psetsSinceRefresh;
    }
    void Line(double, double, double, double, Colour, bool) override { calls.push_back("Line"); }
    void setDrawMode(DrawMode) override { calls.push_back("DrawMode"); }
    void Refresh() override
    {
        psetsPerRefresh.push_back(psetsSinceRefresh);
        psetsSinceRefresh = 0;
    }
};

}  // namespace

class TestDrawMandel : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        resetEngineState();
        HalfSize = 200;
        MaxIter = 500;
    }
    void cleanup() { attachPicture(nullptr, {}); }

    void paletteIndex_data()
    {
        QTest::addColumn<int>("m");
        QTest::addColumn<int>("maxIter");
        QTest::addColumn<int>("expected");
        QTest::newRow("500: m=1") << 1 << 500 << 2;
        QTest::newRow("500: m=250") << 250 << 500 << 512;
        QTest::newRow("500: m=499") << 499 << 500 << 1022;
        QTest::newRow("500: escaped at the limit") << 500 << 500 << 0;
        QTest::newRow("500: never escaped") << 501 << 500 << 0;
        QTest::newRow("1024: m=1") << 1 << 1024 << 1;
        QTest::newRow("1024: m=777") << 777 << 1024 << 777;
        QTest::newRow("1024: m=1023") << 1023 << 1024 << 1023;
        QTest::newRow("2048: m=1 rounds half up") << 1 << 2048 << 1;
        QTest::newRow("2048: m=3") << 3 << 2048 << 2;
        QTest::newRow("3: m=1") << 1 << 3 << 341;
        QTest::newRow("3: m=2") << 2 << 3 << 683;
        QTest::newRow("1: m=1") << 1 << 1 << 0;
        QTest::newRow("1: m=2") << 2 << 1 << 0;
        QTest::newRow("before any computation") << 0 << 500 << 0;
        QTest::newRow("wide limit, largest count below it") << 999999 << 1000000 << 1024;
    }
    void paletteIndex()
    {
        QFETCH(int, m);
        QFETCH(int, maxIter);
        QFETCH(int, expected);
        QCOMPARE(quilfen::paletteIndex(m, maxIter), expected);
    }

    void componentsAreClamped_data()
    {
        QTest::addColumn<int>("r");
        QTest::addColumn<int>("g");
        QTest::addColumn<int>("b");
        QTest::addColumn<uint>("expected");
        QTest::newRow("in range") << 1 << 2 << 3 << uint(1 + 2 * 256 + 3 * 65536);
        QTest::newRow("300 counts as 255") << 300 << 0 << 0 << uint(255);
        QTest::newRow("blue 32767") << 0 << 0 << 32767 << uint(255 * 65536);
        QTest::newRow("negative counts as 0") << -5 << 10 << -32768 << uint(10 * 256);
    }
    void componentsAreClamped()
    {
        QFETCH(int, r);
        QFETCH(int, g);
        QFETCH(int, b);
        QFETCH(uint, expected);
        PalTable[7] = {static_cast<std::int16_t>(r), static_cast<std::int16_t>(g),
                       static_cast<std::int16_t>(b)};
        QCOMPARE(paletteColour(PalTable, 7), Colour(expected));
    }

    void drawingSequence()
    {
        RecordingSurface surface;
        int doEvents = 0;
        bool drawDoneAtDoEvents = false;
        attachPicture(&surface, [&] {
            ++doEvents;
            drawDoneAtDoEvents = DrawDone;
        });
        for (int k = 0; k < kPaletteEntries; ++k)
            PalTable[k] = {static_cast<std::int16_t>(k % 256), static_cast<std::int16_t>(k / 256), 9};
        IterMap[0][400] = 250;  // top-left point of the picture
        IterMap[17][3] = 501;

        DrawMandel();

        const std::vector<std::string> expectedCalls{"Left=8",  "Top=8", "Width=400", "Height=400",
                                                     "Cls", "Scale 0,400-400,0"};
        QCOMPARE(surface.calls, expectedCalls);
        QCOMPARE(surface.pixels.size(), size_t(401 * 401));
        QCOMPARE(surface.psetsPerRefresh, std::vector<int>(401, 401));
        QCOMPARE(surface.pixels[std::make_pair(0.0, 400.0)], paletteColour(PalTable, 512));
        QCOMPARE(surface.pixels[std::make_pair(17.0, 3.0)], paletteColour(PalTable, 0));
        QCOMPARE(doEvents, 1);
        QVERIFY(drawDoneAtDoEvents);
        QVERIFY(DrawDone);
    }

    void redrawJudgesCountsAgainstTheNewLimit()
    {
        RecordingSurface surface;
        attachPicture(&surface, [] {});
        PalTable[0] = {1, 1, 1};
        PalTable[quilfen::paletteIndex(300, 301)] = {2, 2, 2};
        IterMap[5][5] = 300;
        MaxIter = 300;  // lowered without a new computation
        DrawMandel();
        QCOMPARE(surface.pixels[std::make_pair(5.0, 5.0)], rgb(1, 1, 1));
        MaxIter = 301;
        DrawMandel();
        QCOMPARE(surface.pixels[std::make_pair(5.0, 5.0)], rgb(2, 2, 2));
    }
};

QTEST_APPLESS_MAIN(TestDrawMandel)
#include "test_draw_mandel.moc"
