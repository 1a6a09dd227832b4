#include "ui/install_paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#ifndef TK_PRIVATE_DIR_FROM_BIN
#define TK_PRIVATE_DIR_FROM_BIN "../libexec/tarvokelmora"
#endif

namespace tk {

QString PrivateComponentPath(const QString& fileName) {
    const QDir executableDir(QCoreApplication::applicationDirPath());
    const QString beside = executableDir.filePath(fileName);
    if (QFileInfo::exists(beside)) return beside;
    // Relative to the executable, so the installed tree can move (/usr, /usr/local, /opt/...).
    return QDir::cleanPath(executableDir.filePath(QStringLiteral(TK_PRIVATE_DIR_FROM_BIN "/") + fileName));
}

}  // namespace tk
