#include "bmp_writer.h"

#include <QImageWriter>
#include <QSaveFile>

namespace quilfen {

bool writeBmpAtomically(const QImage& image, const QString& path, QString* error,
                        const char* format)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    QImageWriter writer(&file, format);
    if (!writer.write(image)) {
        if (error)
            *error = writer.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

}  // namespace quilfen
