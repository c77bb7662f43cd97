#include "app/qorHelpWindow.h"

#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

TqorHelpWindow::TqorHelpWindow(QWidget* parent) : QDialog(parent), browser_(new QTextBrowser) {
  setWindowTitle(QStringLiteral("Vazadod Help"));
  setModal(false);
  resize(640, 560);
  browser_->setOpenExternalLinks(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(browser_);
}

bool TqorHelpWindow::ShowTopic(const QString& fileName, const QString& anchor) {
  const QFileInfo info(fileName);
  if (!info.isFile()) return false;
  QUrl url = QUrl::fromLocalFile(info.absoluteFilePath());
  url.setFragment(anchor);
  browser_->setSource(url);
  browser_->scrollToAnchor(anchor);
  show();
  raise();
  activateWindow();
  return true;
}
