#pragma once

// The program's own texts that several tests expect.

#include <QChar>
#include <QString>

namespace quilfen::test {

inline const QString kWaiting = QStringLiteral("待機中です");
inline const QString kNotPalette = QStringLiteral("これはパレットファイルではありません。");
inline const QString kBroken = QStringLiteral("パレットファイルが壊れています。") + QChar(13) +
                               QStringLiteral("読み込むことができませんでした。");
inline const QString kWriteFailed = QStringLiteral("書き込みに失敗しました");

}  // namespace quilfen::test
