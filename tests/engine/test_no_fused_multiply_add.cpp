// The compiled engine holds no fused multiply-add: one rounds once where the
// escape-time arithmetic rounds twice, so a single one would change counts.
// g++ fuses Mul followed by Add unless -ffp-contract=off reaches every file.

#include "engine/escape_time.h"
#include "engine/escape_time_simd.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

namespace {

// x86 (vfmadd…, vfmsub…, vfnmadd…, vfnmsub…, including the …sub/…add
// alternating forms) and Arm (fmla, fmls, fmadd, fmsub, fnmadd, fnmsub).
const QRegularExpression kFusedOp(QStringLiteral(R"(\s(vfn?m(add|sub)\w*|fml[as]|fn?m(add|sub))\b)"));

// Disassembly lines that hold a fused multiply-add.
QStringList fusedLines(const QString& disassembly)
{
    QStringList found;
    const auto lines = disassembly.split(QLatin1Char('\n'));
    for (const QString& line : lines)
        if (kFusedOp.match(line).hasMatch())
            found << line.trimmed();
    return found;
}

QString disassemble(const QString& file)
{
    QProcess objdump;
    objdump.start(QStringLiteral("objdump"), {QStringLiteral("-d"), QStringLiteral("-C"),
                                              QStringLiteral("--no-show-raw-insn"), file});
    if (!objdump.waitForFinished(120000) || objdump.exitCode() != 0)
        return {};
    return QString::fromLocal8Bit(objdump.readAllStandardOutput());
}

}  // namespace

class TestNoFusedMultiplyAdd : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // Also links the engine's kernel into this program.
        qInfo("engine runs on %s", quilfen::simdTargetName().c_str());
    }

    // The detector itself, on lines as objdump prints them.
    void detector_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("fused");
        QTest::newRow("vfmadd231pd zmm") << "  14e1:\tvfmadd231pd %zmm6,%zmm1,%zmm1" << true;
        QTest::newRow("vfmsub132sd") << "  14e1:\tvfmsub132sd %xmm0,%xmm1,%xmm2" << true;
        QTest::newRow("vfnmadd213pd") << "  14e1:\tvfnmadd213pd %ymm0,%ymm1,%ymm2" << true;
        QTest::newRow("vfnmsub231ps") << "  14e1:\tvfnmsub231ps %xmm0,%xmm1,%xmm2" << true;
        QTest::newRow("vfmaddsub231pd") << "  14e1:\tvfmaddsub231pd %zmm0,%zmm1,%zmm2" << true;
        QTest::newRow("arm fmla") << "  40:\tfmla\tv0.2d, v1.2d, v2.2d" << true;
        QTest::newRow("arm fmadd") << "  40:\tfmadd\td0, d1, d2, d3" << true;
        QTest::newRow("vmulpd") << "  14e1:\tvmulpd %zmm6,%zmm1,%zmm1" << false;
        QTest::newRow("vaddpd") << "  14f9:\tvaddpd %zmm26,%zmm1,%zmm6" << false;
        QTest::newRow("symbol named fmadd") << "0000 <quilfen::fmaddHelper()>:" << false;
    }
    void detector()
    {
        QFETCH(QString, line);
        QFETCH(bool, fused);
        QCOMPARE(!fusedLines(line).isEmpty(), fused);
    }

    void noFusedOperation_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("engine library") << QStringLiteral(QUILFEN_ENGINE_LIBRARY);
        QTest::newRow("this test program, engine linked in")
            << QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    }
    void noFusedOperation()
    {
        QFETCH(QString, file);
        const QString code = disassemble(file);
        QVERIFY2(!code.isEmpty(), qPrintable(QStringLiteral("objdump -d %1 failed").arg(file)));
        // What is scanned really is the vector kernel, with its multiplies and adds.
        QVERIFY(code.contains(QLatin1String("::ComputeColumns(")));
#if defined(__x86_64__)
        QVERIFY(code.contains(QLatin1String("vmulpd")));
        QVERIFY(code.contains(QLatin1String("vaddpd")));
#endif
        const QStringList fused = fusedLines(code);
        QVERIFY2(fused.isEmpty(), qPrintable(fused.mid(0, 10).join(QLatin1Char('\n'))));
    }
};

QTEST_APPLESS_MAIN(TestNoFusedMultiplyAdd)
#include "test_no_fused_multiply_add.moc"
