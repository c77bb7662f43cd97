#include "app/qorDesktopLauncher.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

std::string TqorDesktopLauncher::SearchPath() const {
  return qEnvironmentVariable("PATH").toStdString();
}

bool TqorDesktopLauncher::IsExecutableFile(const std::string& path) const {
  const QFileInfo info(QString::fromStdString(path));
  return info.isFile() && info.isExecutable();
}

bool TqorDesktopLauncher::StartProgram(const std::string& program, const std::string& argument) {
  return QProcess::startDetached(QString::fromStdString(program),
                                 {QString::fromStdString(argument)});
}

bool TqorDesktopLauncher::OpenWithDesktop(const std::string& document) {
  return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(document)));
}
