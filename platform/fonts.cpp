#include "platform/fonts.h"

#include <QCoreApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QTranslator>

namespace quilfen {

namespace {

const QString kGothicFace = QStringLiteral("ＭＳ Ｐゴシック");
const QString kRomanFace = QStringLiteral("Times New Roman");

QFont faceAt(const QString& face, double points)
{
    QFont font(face);
    font.setPointSizeF(points);
    return font;
}

}  // namespace

QFont gothicFont(double points)
{
    return faceAt(kGothicFace, points);
}

QFont romanFont(double points)
{
    return faceAt(kRomanFace, points);
}

void installFontSubstitutions()
{
    QFont::insertSubstitutions(kGothicFace, {QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic")});
    QFont::insertSubstitutions(kRomanFace,
                               {QStringLiteral("Liberation Serif"), QStringLiteral("DejaVu Serif")});
}

void installJapaneseTranslations()
{
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(QStringLiteral("qtbase_ja"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;
}

}  // namespace quilfen
