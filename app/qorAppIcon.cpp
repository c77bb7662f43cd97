#include "app/qorAppIcon.h"

#include <QDir>

QIcon AppIcon() {
  QIcon icon;
  const QDir dir(QStringLiteral(":/icons"));
  for (const QString& name : dir.entryList({QStringLiteral("vazadod-*.png")}, QDir::Files)) {
    icon.addFile(dir.filePath(name));
  }
  return icon;
}
