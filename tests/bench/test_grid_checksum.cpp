// The benchmark's validation: the checksum of the count grid.

#include "bench/benchmark_figures.h"
#include "bench/grid_checksum.h"
#include "engine/escape_time_scalar.h"

#include <QTest>

#include <memory>

using namespace quilfen;

namespace {

// The benchmark region as the scalar reference computes it, independent of
// the production engine.
std::unique_ptr<IterGrid> referenceGrid()
{
    auto grid = std::make_unique<IterGrid>();
    for (auto& column : *grid)
        column.fill(0);
    const CalcCondition region{-0.15, 0.8, 0.4};
    computeIterMapScalar(region, 200, 500, *grid);
    return grid;
}

}  // namespace

class TestGridChecksum : public QObject {
    Q_OBJECT
private slots:
    void checksumIsFnv1aOverLittleEndianCounts()
    {
        // Expected values from an independent FNV-1a: the four bytes "abcd",
        // and nine counts 10·i + j taken column by column.
        IterGrid grid{};
        grid[0][0] = 0x64636261;  // 'a' 'b' 'c' 'd' in little-endian order
        QCOMPARE(gridChecksum(grid, 0), 0xfc179f83ee0724ddULL);
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                grid[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] = 10 * i + j;
        QCOMPARE(gridChecksum(grid, 1), 0x2b508555d4e7103cULL);
    }

    void knownValueIsTheScalarReferences()
    {
        const auto grid = referenceGrid();
        QCOMPARE(gridChecksum(*grid, 200), kBenchmarkChecksum);
        QVERIFY(benchmarkGridValid(*grid));
    }

    void corruptedGridIsInvalid_data()
    {
        QTest::addColumn<int>("i");
        QTest::addColumn<int>("j");
        QTest::addColumn<int>("delta");
        QTest::newRow("first point one more") << 0 << 0 << 1;
        QTest::newRow("centre one less") << 200 << 200 << -1;
        QTest::newRow("last point one more") << 400 << 400 << 1;
        QTest::newRow("a count in the high byte") << 123 << 321 << (1 << 24);
    }
    void corruptedGridIsInvalid()
    {
        QFETCH(int, i);
        QFETCH(int, j);
        QFETCH(int, delta);
        auto grid = referenceGrid();
        (*grid)[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] += delta;
        QVERIFY(gridChecksum(*grid, 200) != kBenchmarkChecksum);
        QVERIFY(!benchmarkGridValid(*grid));
    }

    void swappedCountsAreInvalid()
    {
        auto grid = referenceGrid();
        auto& column = (*grid)[10];
        std::size_t j = 0;
        while (column[j] == column[j + 1])
            ++j;
        std::swap(column[j], column[j + 1]);
        QVERIFY(!benchmarkGridValid(*grid));
    }

    void transposedGridIsInvalid()
    {
        const auto grid = referenceGrid();
        auto transposed = std::make_unique<IterGrid>();
        for (std::size_t i = 0; i <= 400; ++i)
            for (std::size_t j = 0; j <= 400; ++j)
                (*transposed)[j][i] = (*grid)[i][j];
        QVERIFY(!benchmarkGridValid(*transposed));
    }

    void entriesOutsideThePictureDoNotCount()
    {
        auto grid = referenceGrid();
        (*grid)[401][0] = 12345;
        (*grid)[0][401] = 12345;
        QVERIFY(benchmarkGridValid(*grid));
    }
};

QTEST_APPLESS_MAIN(TestGridChecksum)
#include "test_grid_checksum.moc"
